// The layout table is the dialog: every control's place, caption, hint and tab position, the
// group boxes and the button panel as parents. FormShow runs once, when the dialog is first shown.
#include "ui/SettingForm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <array>

#include "ui/Bindings.h"
#include "ui/FitLabels.h"
#include "ui/ModelDialog.h"
#include "ui/NumEdit.h"
#include "ui/QtText.h"

namespace toravin {
namespace {

using K = ControlKind;

const std::array kControls{
    ControlSpec{"FileChoiceCheckBox", K::CheckBox, nullptr, 16, 16, 225, 17,
                "ファイル名を選択してダウンロードする", "", 0, 0},
    ControlSpec{"ChoiceGroupBox", K::GroupBox, nullptr, 16, 40, 233, 177,
                "ダウンロードするファイルを選択", "", 0, 1},
    ControlSpec{"Label6", K::Label, "ChoiceGroupBox", 13, 16, 212, 12,
                "ワイルドカード（　＊　と　？　）も使えます。", "", 0, -1},
    ControlSpec{"JpegCheckBox", K::CheckBox, "ChoiceGroupBox", 16, 40, 73, 17, "Jpeg File", "", 0,
                4},
    ControlSpec{"GifCheckBox", K::CheckBox, "ChoiceGroupBox", 16, 72, 65, 17, "Gif File", "", 0, 5},
    ControlSpec{"ZipCheckBox", K::CheckBox, "ChoiceGroupBox", 16, 104, 65, 17, "Zip File", "", 0,
                6},
    ControlSpec{"HtmlCheckBox", K::CheckBox, "ChoiceGroupBox", 16, 136, 73, 17, "Html File", "", 0,
                7},
    ControlSpec{"JpegFileEdit", K::LineEdit, "ChoiceGroupBox", 96, 40, 121, 20, "*.jpg", "", 0, 0,
                nullptr},
    ControlSpec{"GifFileEdit", K::LineEdit, "ChoiceGroupBox", 96, 72, 121, 20, "*.gif", "", 0, 1,
                nullptr},
    ControlSpec{"ZipFileEdit", K::LineEdit, "ChoiceGroupBox", 96, 101, 121, 20, "*.zip", "", 0, 2,
                nullptr},
    ControlSpec{"HtmlFileEdit", K::LineEdit, "ChoiceGroupBox", 96, 133, 121, 20, "*.html", "", 0, 3,
                nullptr},
    ControlSpec{"ProxyCheckBox", K::CheckBox, nullptr, 288, 16, 169, 17, "プロキシーサーバーを使う",
                "", 0, 2},
    ControlSpec{"ProxyGroupBox", K::GroupBox, nullptr, 288, 40, 225, 137, "プロキシーサーバー", "",
                0, 3},
    ControlSpec{"Label5", K::Label, "ProxyGroupBox", 8, 24, 46, 12, "：アドレス", "", 0, -1},
    ControlSpec{"AddressEdit", K::LineEdit, "ProxyGroupBox", 8, 40, 209, 20, "", "", 0, 0,
                "Label5"},
    ControlSpec{"Label7", K::Label, "ProxyGroupBox", 8, 80, 37, 12, "：ポート", "", 0, -1},
    ControlSpec{"PortEdit", K::Custom, "ProxyGroupBox", 8, 96, 121, 20, "",
                "ここにプロキシーサーバーのポートを入力", 0, 1, "Label7"},
    ControlSpec{"FileSizeCheckBox", K::CheckBox, nullptr, 288, 200, 225, 17,
                "ダウンロードするファイルをサイズで選択", "", 0, 4},
    ControlSpec{"FileSizeEdit", K::Custom, nullptr, 376, 224, 121, 20, "",
                "この大きさ未満のファイルはダウンロードしない。", 0, 7},
    ControlSpec{"Label8", K::Label, nullptr, 504, 232, 15, 12, "KB", "", 0, -1},
    ControlSpec{"Label1", K::Label, nullptr, 16, 240, 238, 12,
                "エンコードされたＨＴＭＬファイルの解釈に対して", "", 0, -1},
    ControlSpec{"UseTarCheckBox", K::CheckBox, nullptr, 16, 256, 129, 17,
                "ＧＺＤＥＣ．ＤＬＬを使う", "", 0, 6},
    ControlSpec{"RetryCheckBox", K::CheckBox, nullptr, 288, 256, 217, 17,
                "ダウンロードに失敗したときリトライする", "", 0, 8},
    ControlSpec{"RetryCountEdit", K::Custom, nullptr, 376, 280, 121, 20, "", "", 0, 9},
    ControlSpec{"Label2", K::Label, nullptr, 504, 288, 12, 12, "回", "", 0, -1},
    // Beyond the original layout: the options kept beside the settings file, in their own
    // dialog, opened from the free row under the archive option.
    ControlSpec{"ExtraButton", K::PushButton, nullptr, 16, 278, 105, 23, "拡張設定…",
                "同時に転送する数、ページの読み方、ほかの画像の種類", 0, 10},
    ControlSpec{"Panel1", K::Panel, nullptr, 0, 307, 536, 41, "", "", 0, 5},
    ControlSpec{"YesBitBtn", K::PushButton, "Panel1", 152, 8, 75, 25, "はい", "", 0, 0},
    ControlSpec{"NoBitBtn", K::PushButton, "Panel1", 288, 8, 75, 25, "いいえ", "", 0, 1},
};

constexpr int kClientWidth = 536;
constexpr int kClientHeight = 348;

struct Box {
  const char* name;
  Control TSettingFormModel::*control;
  void (*click)(TSettingFormModel&);  // the box's handler, if it has one
};

// The check boxes' handlers as plain functions: a table of member-function pointers called from
// a Qt slot reads out of bounds under the sanitizer build's code generation.
template <void (TSettingFormModel::*Handler)()>
void Call(TSettingFormModel& m) {
  (m.*Handler)();
}

const std::array kBoxes{
    Box{"FileChoiceCheckBox", &TSettingFormModel::FileChoiceCheckBox,
        &Call<&TSettingFormModel::FileChoiceCheckBoxClick>},
    Box{"JpegCheckBox", &TSettingFormModel::JpegCheckBox,
        &Call<&TSettingFormModel::JpegCheckBoxClick>},
    Box{"GifCheckBox", &TSettingFormModel::GifCheckBox,
        &Call<&TSettingFormModel::GifCheckBoxClick>},
    Box{"ZipCheckBox", &TSettingFormModel::ZipCheckBox,
        &Call<&TSettingFormModel::ZipCheckBoxClick>},
    Box{"HtmlCheckBox", &TSettingFormModel::HtmlCheckBox,
        &Call<&TSettingFormModel::HtmlCheckBoxClick>},
    Box{"ProxyCheckBox", &TSettingFormModel::ProxyCheckBox,
        &Call<&TSettingFormModel::ProxyCheckBoxClick>},
    Box{"FileSizeCheckBox", &TSettingFormModel::FileSizeCheckBox,
        &Call<&TSettingFormModel::FileSizeCheckBoxClick>},
    Box{"UseTarCheckBox", &TSettingFormModel::UseTarCheckBox, nullptr},
    Box{"RetryCheckBox", &TSettingFormModel::RetryCheckBox,
        &Call<&TSettingFormModel::RetryCheckBoxClick>},
};

struct Edit {
  const char* name;
  Control TSettingFormModel::*control;
};

const std::array kEdits{
    Edit{"JpegFileEdit", &TSettingFormModel::JpegFileEdit},
    Edit{"GifFileEdit", &TSettingFormModel::GifFileEdit},
    Edit{"ZipFileEdit", &TSettingFormModel::ZipFileEdit},
    Edit{"HtmlFileEdit", &TSettingFormModel::HtmlFileEdit},
    Edit{"AddressEdit", &TSettingFormModel::AddressEdit},
};

struct Number {
  const char* name;
  TNumEditModel TSettingFormModel::*model;
};

const std::array kNumbers{
    Number{"PortEdit", &TSettingFormModel::PortEdit},
    Number{"FileSizeEdit", &TSettingFormModel::FileSizeEdit},
    Number{"RetryCountEdit", &TSettingFormModel::RetryCountEdit},
};

}  // namespace

TSettingForm::TSettingForm(QWidget* owner, TSettingFormModel& model)
    : QDialog(owner, FixedDialogFlags()), m_model(model) {
  setObjectName(QStringLiteral("TSettingForm"));
  setWindowTitle(Ui("設定項目"));
  setAccessibleName(windowTitle());
  setFont(GothicFont(12));
  setFixedSize(kClientWidth, kClientHeight);
  move(192, 107);

  std::map<std::string, QWidget*> custom;
  for (const Number& n : kNumbers) custom[n.name] = new TNumEdit(this, &(m_model.*n.model));
  m_controls = std::make_unique<ControlTable>(this, kControls, custom);
  custom["RetryCountEdit"]->setAccessibleName(Ui("リトライ回数"));
  for (const char* kind : {"Jpeg", "Gif", "Zip", "Html"}) {
    m_controls->widget(std::string(kind) + "FileEdit")
        ->setAccessibleName(QString::fromLatin1(kind) + Ui(" File のファイル名"));
  }

  // The hint colour behind the master switch, white behind the wildcard note.
  auto* choice = m_controls->get<QCheckBox>("FileChoiceCheckBox");
  // (A check box fills with its button colour: both roles take the pale yellow of tooltips.)
  QPalette hint = choice->palette();
  const QColor paleYellow(0xFF, 0xFF, 0xE1);
  hint.setColor(QPalette::Window, paleYellow);
  hint.setColor(QPalette::Button, paleYellow);
  choice->setPalette(hint);
  choice->setBackgroundRole(QPalette::Window);
  choice->setAutoFillBackground(true);
  auto* note = m_controls->get<QLabel>("Label6");
  QPalette white = note->palette();
  white.setColor(QPalette::Window, Qt::white);
  note->setPalette(white);
  note->setAutoFillBackground(true);

  auto* yes = m_controls->get<QPushButton>("YesBitBtn");
  auto* no = m_controls->get<QPushButton>("NoBitBtn");
  yes->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  no->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  yes->setDefault(true);
  FitLabelsInside(this);
  m_tabs = m_controls->applyTabOrder();
  bind();
  syncFromModel();
}

TSettingForm::~TSettingForm() = default;

void TSettingForm::bind() {
  for (const Box& b : kBoxes) {
    BindCheckBox(m_controls->get<QCheckBox>(b.name), (m_model.*b.control).Checked, [this, b] {
      if (b.click) b.click(m_model);
      syncFromModel();
    });
  }
  for (const Edit& e : kEdits) {
    connect(m_controls->get<QLineEdit>(e.name), &QLineEdit::textEdited, this,
            [this, e](const QString& text) { (m_model.*e.control).Text = ToSjis(text); });
  }
  connect(m_controls->get<QPushButton>("ExtraButton"), &QPushButton::clicked, this,
          [this] { m_model.ExtraButtonClick(); });
  connect(m_controls->get<QPushButton>("YesBitBtn"), &QPushButton::clicked, this,
          [this] { confirm(); });
  connect(m_controls->get<QPushButton>("NoBitBtn"), &QPushButton::clicked, this,
          [this] { reject(); });
}

void TSettingForm::syncFromModel() {
  for (const Box& b : kBoxes) {
    auto* box = m_controls->get<QCheckBox>(b.name);
    const Control& c = m_model.*b.control;
    box->setChecked(c.Checked);
    box->setEnabled(c.Enabled);
  }
  for (const Edit& e : kEdits) {
    auto* edit = m_controls->get<QLineEdit>(e.name);
    const Control& c = m_model.*e.control;
    const QString text = FromSjis(c.Text);
    if (edit->text() != text) edit->setText(text);
    edit->setEnabled(c.Enabled);
  }
  for (const Number& n : kNumbers) {
    auto* w = static_cast<TNumEdit*>(m_controls->widget(n.name));
    w->setEnabled((m_model.*n.model).Enabled);
    w->refresh();
  }
  m_controls->widget("ChoiceGroupBox")->setEnabled(m_model.ChoiceGroupBox.Enabled);
  m_controls->widget("ProxyGroupBox")->setEnabled(m_model.ProxyGroupBox.Enabled);
  m_controls->widget("YesBitBtn")->setEnabled(m_model.YesBitBtn.Enabled);
}

void TSettingForm::showEvent(QShowEvent* event) {
  ShowModelFirstTime(m_shown, m_model, m_tabs, [this] { syncFromModel(); });
  QDialog::showEvent(event);
}

void TSettingForm::confirm() {
  if (ConfirmModel(m_model, *m_controls)) accept();
}

void TSettingForm::reject() {
  m_model.NoBitBtnClick();
  QDialog::reject();
}

}  // namespace toravin
