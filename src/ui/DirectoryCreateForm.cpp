#include "ui/DirectoryCreateForm.h"

#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "main/DirectoryName.h"
#include "ui/Bindings.h"
#include "ui/QtText.h"

namespace toravin {
namespace {

using K = ControlKind;

const std::array kControls{
    ControlSpec{"DirectoryCreateEdit", K::LineEdit, nullptr, 16, 48, 257, 21, "",
                "新しいディレクトリー名", 13, 0},
    ControlSpec{"OKButton", K::PushButton, nullptr, 32, 152, 89, 41, "ＯＫ", "いいわよ", 0, 1},
    ControlSpec{"CancelButton", K::PushButton, nullptr, 168, 152, 91, 41, "キャンセル", "だめ！", 0,
                2},
};

}  // namespace

TDirectoryCreateForm::TDirectoryCreateForm(QWidget* owner, TDirectoryCreateModel& model)
    : QDialog(owner, FixedDialogFlags()), m_model(model) {
  setObjectName(QStringLiteral("TDirectoryCreateForm"));
  setWindowTitle(Ui("ディレクトリー名を記入してください。"));
  setAccessibleName(windowTitle());
  setFont(GothicFont(12));
  setFixedSize(285, 208);
  move(277, 180);
  m_controls = std::make_unique<ControlTable>(this, kControls);
  m_controls->get<QPushButton>("OKButton")->setDefault(true);
  m_tabs = m_controls->applyTabOrder();

  m_preset = m_model.Text;
  m_presetShown = QString::fromStdString(DisplayName(m_preset));
  m_controls->get<QLineEdit>("DirectoryCreateEdit")->setText(m_presetShown);
  connect(m_controls->get<QPushButton>("OKButton"), &QPushButton::clicked, this, [this] {
    m_model.Text = nativeText();
    m_model.OKButtonClick();
    if (m_model.Result == ModalResult::mrOk) accept();
  });
  connect(m_controls->get<QPushButton>("CancelButton"), &QPushButton::clicked, this,
          [this] { reject(); });
  if (!m_tabs.empty()) m_tabs.front()->setFocus(Qt::OtherFocusReason);
}

TDirectoryCreateForm::~TDirectoryCreateForm() = default;

std::string TDirectoryCreateForm::nativeText() const {
  const QString shown = m_controls->get<QLineEdit>("DirectoryCreateEdit")->text();
  if (!m_presetShown.isEmpty() && shown.startsWith(m_presetShown)) {
    return m_preset + shown.mid(m_presetShown.size()).toUtf8().toStdString();
  }
  return shown.toUtf8().toStdString();
}

void TDirectoryCreateForm::reject() {
  m_model.CancelButtonClick();
  QDialog::reject();
}

}  // namespace toravin
