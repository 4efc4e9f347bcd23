// The layout table is the dialog, as for the settings dialog: place, caption, hint and tab
// position of every control, the group boxes and the button panel as parents.
#include "ui/ExtraSettingForm.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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
    ControlSpec{"Label1", K::Label, nullptr, 16, 20, 100, 12, "同時に転送する数：", "", 0, -1},
    ControlSpec{"ParallelEdit", K::Custom, nullptr, 128, 16, 49, 20, "",
                "いくつのファイルを同時に転送するか（1～32）", 0, 0, "Label1"},
    ControlSpec{"ReaderGroupBox", K::GroupBox, nullptr, 16, 48, 369, 69, "ページの読み方", "", 0,
                1},
    ControlSpec{"PatternsRadio", K::RadioButton, "ReaderGroupBox", 16, 20, 337, 17,
                "リンクのパターンで探す（従来どおり）", "", 0, 0},
    ControlSpec{"HtmlRadio", K::RadioButton, "ReaderGroupBox", 16, 42, 337, 17, "HTMLとして読む",
                "srcset、data-src、picture なども読む", 0, 1},
    ControlSpec{"KindGroupBox", K::GroupBox, nullptr, 16, 128, 369, 153,
                "ほかの画像ファイルもダウンロードする", "", 0, 2},
    ControlSpec{"PngCheckBox", K::CheckBox, "KindGroupBox", 16, 26, 81, 17, "Png File", "", 0, 4},
    ControlSpec{"WebpCheckBox", K::CheckBox, "KindGroupBox", 16, 58, 81, 17, "WebP File", "", 0, 5},
    ControlSpec{"AvifCheckBox", K::CheckBox, "KindGroupBox", 16, 90, 81, 17, "Avif File", "", 0, 6},
    ControlSpec{"SvgCheckBox", K::CheckBox, "KindGroupBox", 16, 122, 81, 17, "Svg File", "", 0, 7},
    ControlSpec{"PngFileEdit", K::LineEdit, "KindGroupBox", 112, 24, 121, 20, "*.png", "", 0, 0,
                nullptr},
    ControlSpec{"WebpFileEdit", K::LineEdit, "KindGroupBox", 112, 56, 121, 20, "*.webp", "", 0, 1,
                nullptr},
    ControlSpec{"AvifFileEdit", K::LineEdit, "KindGroupBox", 112, 88, 121, 20, "*.avif", "", 0, 2,
                nullptr},
    ControlSpec{"SvgFileEdit", K::LineEdit, "KindGroupBox", 112, 120, 121, 20, "*.svg", "", 0, 3,
                nullptr},
    ControlSpec{"ConnectionCheckBox", K::CheckBox, nullptr, 16, 292, 369, 17,
                "接続を使い回す（HTTP/1.1・HTTP/2）",
                "同じサーバーからの次のファイルにも同じ接続を使う", 0, 3},
    ControlSpec{"Panel1", K::Panel, nullptr, 0, 317, 401, 41, "", "", 0, 4},
    ControlSpec{"YesBitBtn", K::PushButton, "Panel1", 104, 8, 75, 25, "はい", "", 0, 0},
    ControlSpec{"NoBitBtn", K::PushButton, "Panel1", 224, 8, 75, 25, "いいえ", "", 0, 1},
};

constexpr int kClientWidth = 401;
constexpr int kClientHeight = 358;

struct Kind {
  const char* box;
  const char* edit;
  const char* caption;
  Control TExtraSettingFormModel::*boxControl;
  Control TExtraSettingFormModel::*editControl;
};

const std::array kKinds{
    Kind{"PngCheckBox", "PngFileEdit", "Png File", &TExtraSettingFormModel::PngCheckBox,
         &TExtraSettingFormModel::PngFileEdit},
    Kind{"WebpCheckBox", "WebpFileEdit", "WebP File", &TExtraSettingFormModel::WebpCheckBox,
         &TExtraSettingFormModel::WebpFileEdit},
    Kind{"AvifCheckBox", "AvifFileEdit", "Avif File", &TExtraSettingFormModel::AvifCheckBox,
         &TExtraSettingFormModel::AvifFileEdit},
    Kind{"SvgCheckBox", "SvgFileEdit", "Svg File", &TExtraSettingFormModel::SvgCheckBox,
         &TExtraSettingFormModel::SvgFileEdit},
};

}  // namespace

TExtraSettingForm::TExtraSettingForm(QWidget* owner, TExtraSettingFormModel& model)
    : QDialog(owner, FixedDialogFlags()), m_model(model) {
  setObjectName(QStringLiteral("TExtraSettingForm"));
  setWindowTitle(Ui("拡張設定"));
  setAccessibleName(windowTitle());
  setFont(GothicFont(12));
  setFixedSize(kClientWidth, kClientHeight);

  std::map<std::string, QWidget*> custom;
  custom["ParallelEdit"] = new TNumEdit(this, &m_model.ParallelEdit);
  m_controls = std::make_unique<ControlTable>(this, kControls, custom);
  for (const Kind& k : kKinds) {
    m_controls->widget(k.edit)->setAccessibleName(QString::fromLatin1(k.caption) +
                                                  Ui(" のファイル名"));
  }
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

TExtraSettingForm::~TExtraSettingForm() = default;

void TExtraSettingForm::bind() {
  for (const Kind& k : kKinds) {
    BindCheckBox(m_controls->get<QCheckBox>(k.box), (m_model.*k.boxControl).Checked, [this] {
      m_model.KindCheckBoxClick();
      syncFromModel();
    });
    connect(m_controls->get<QLineEdit>(k.edit), &QLineEdit::textEdited, this,
            [this, k](const QString& text) { (m_model.*k.editControl).Text = ToSjis(text); });
  }
  BindCheckBox(m_controls->get<QCheckBox>("ConnectionCheckBox"), m_model.ConnectionCheckBox.Checked,
               [this] {
                 m_model.ConnectionCheckBoxClick();
                 syncFromModel();
               });
  for (const char* name : {"PatternsRadio", "HtmlRadio"}) {
    const bool html = std::string_view(name) == "HtmlRadio";
    connect(m_controls->get<QRadioButton>(name), &QRadioButton::toggled, this,
            [this, html](bool checked) {
              if (!checked || m_model.HtmlRadio.Checked == html) return;
              m_model.ReaderRadioClick(html);
              syncFromModel();
            });
  }
  connect(m_controls->get<QPushButton>("YesBitBtn"), &QPushButton::clicked, this,
          [this] { confirm(); });
  connect(m_controls->get<QPushButton>("NoBitBtn"), &QPushButton::clicked, this,
          [this] { reject(); });
}

void TExtraSettingForm::syncFromModel() {
  for (const Kind& k : kKinds) {
    auto* box = m_controls->get<QCheckBox>(k.box);
    box->setChecked((m_model.*k.boxControl).Checked);
    auto* edit = m_controls->get<QLineEdit>(k.edit);
    const Control& c = m_model.*k.editControl;
    const QString text = FromSjis(c.Text);
    if (edit->text() != text) edit->setText(text);
    edit->setEnabled(c.Enabled);
  }
  m_controls->get<QRadioButton>("PatternsRadio")->setChecked(m_model.PatternsRadio.Checked);
  m_controls->get<QRadioButton>("HtmlRadio")->setChecked(m_model.HtmlRadio.Checked);
  m_controls->get<QCheckBox>("ConnectionCheckBox")->setChecked(m_model.ConnectionCheckBox.Checked);
  m_controls->widget("ParallelEdit")->update();
}

void TExtraSettingForm::showEvent(QShowEvent* event) {
  ShowModelFirstTime(m_shown, m_model, m_tabs, [this] { syncFromModel(); });
  QDialog::showEvent(event);
}

void TExtraSettingForm::confirm() {
  if (ConfirmModel(m_model, *m_controls)) accept();
}

void TExtraSettingForm::reject() {
  m_model.NoBitBtnClick();
  QDialog::reject();
}

}  // namespace toravin
