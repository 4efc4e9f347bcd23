#include "ui/QtDialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

#include "platform/FileSystem.h"
#include "ui/QtText.h"

namespace toravin {
namespace {

QMessageBox::Icon IconOf(MsgDlgType kind) {
  switch (kind) {
    case MsgDlgType::mtWarning:
      return QMessageBox::Warning;
    case MsgDlgType::mtError:
      return QMessageBox::Critical;
    case MsgDlgType::mtInformation:
      return QMessageBox::Information;
    case MsgDlgType::mtConfirmation:
      return QMessageBox::Question;
    case MsgDlgType::mtCustom:
      break;
  }
  return QMessageBox::NoIcon;
}

QString CaptionOf(MsgDlgType kind) {
  switch (kind) {
    case MsgDlgType::mtWarning:
      return Ui("警告");
    case MsgDlgType::mtError:
      return Ui("エラー");
    case MsgDlgType::mtInformation:
      return Ui("情報");
    case MsgDlgType::mtConfirmation:
      return Ui("確認");
    case MsgDlgType::mtCustom:
      break;
  }
  return QtDialogs::ApplicationTitle();
}

}  // namespace

QString QtDialogs::ApplicationTitle() { return Ui("ＴｏｒａＶｉｎ　1.18.1"); }

QString QtDialogs::QtFilter(std::string_view cp932Filter) {
  const QStringList parts = FromSjis(cp932Filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

void QtDialogs::PlayKindSound(MsgDlgType kind) {
  // The desktop has no per-kind sounds to ask for; every kind gets the bell, the plain box none.
  if (kind != MsgDlgType::mtCustom) QApplication::beep();
}

ModalResult QtDialogs::MessageDlg(std::string_view text, MsgDlgType kind, MsgDlgButtons buttons,
                                  int) {
  const QString message = FromSjis(text);
  beforeModal();
  if (m_answerer) {
    if (std::optional<ModalResult> r = m_answerer(message, kind, buttons)) return *r;
  }
  QMessageBox box(IconOf(kind), CaptionOf(kind), message, QMessageBox::NoButton, m_owner);
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  if (buttons & mbYes) yes = box.addButton(Ui("はい(&Y)"), QMessageBox::YesRole);
  if (buttons & mbNo) no = box.addButton(Ui("いいえ(&N)"), QMessageBox::NoRole);
  if (buttons & mbOK) ok = box.addButton(Ui("OK"), QMessageBox::AcceptRole);
  if (buttons & mbCancel) cancel = box.addButton(Ui("キャンセル"), QMessageBox::RejectRole);
  if (no) box.setEscapeButton(no);
  if (cancel) box.setEscapeButton(cancel);
  box.setDefaultButton(yes ? yes : ok);
  box.exec();
  QAbstractButton* pressed = box.clickedButton();
  if (pressed && pressed == yes) return ModalResult::mrYes;
  if (pressed && pressed == ok) return ModalResult::mrOk;
  if (pressed && pressed == cancel) return ModalResult::mrCancel;
  if (no) return ModalResult::mrNo;
  return cancel ? ModalResult::mrCancel : ModalResult::mrOk;
}

void QtDialogs::ShowMessage(std::string_view text) {
  const QString message = FromSjis(text);
  beforeModal();
  if (m_answerer && m_answerer(message, MsgDlgType::mtCustom, mbOKOnly)) return;
  QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), message, QMessageBox::NoButton, m_owner);
  box.setDefaultButton(box.addButton(Ui("OK"), QMessageBox::AcceptRole));
  box.exec();
}

void QtDialogs::Beep() { QApplication::beep(); }

std::string QtDialogs::InputBox(std::string_view caption, std::string_view prompt,
                                std::string_view defaultText) {
  beforeModal();
  QInputDialog dlg(m_owner);
  dlg.setWindowTitle(FromSjis(caption));
  dlg.setLabelText(FromSjis(prompt));
  dlg.setTextValue(FromSjis(defaultText));
  dlg.setOkButtonText(Ui("OK"));
  dlg.setCancelButtonText(Ui("キャンセル"));
  if (m_answerer) {
    // Offscreen runs take the default answer, as a cancelled box does.
    if (m_answerer(FromSjis(prompt), MsgDlgType::mtCustom, mbOK | mbCancel)) {
      return std::string(defaultText);
    }
  }
  if (dlg.exec() != QDialog::Accepted) return std::string(defaultText);
  return ToSjis(dlg.textValue());
}

std::optional<std::string> QtDialogs::SaveFileName(std::string_view filter,
                                                   std::string_view defaultExt,
                                                   std::string_view title,
                                                   std::string_view initialDir) {
  beforeModal();
  const QString qtFilter = QtFilter(filter);
  const QString caption = title.empty() ? Ui("名前を付けて保存") : FromSjis(title);
  QString path;
  if (m_saveAnswerer) {
    std::optional<QString> answer = m_saveAnswerer(caption, qtFilter);
    if (!answer) return std::nullopt;
    path = *answer;
  } else {
    QFileDialog dlg(m_owner, caption, QString::fromStdString(NativePath(initialDir)), qtFilter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(FromSjis(defaultExt));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    path = dlg.selectedFiles().front();
  }
  if (!defaultExt.empty() && QFileInfo(path).suffix().isEmpty()) {
    path += QLatin1Char('.') + FromSjis(defaultExt);
  }
  return ToSjis(path);
}

std::optional<std::string> QtDialogs::ClipboardText() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText()) return std::nullopt;
  return ToSjis(data->text());
}

}  // namespace toravin
