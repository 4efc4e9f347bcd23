// The protocol note names both protocols the program speaks.
#include "ui/AboutForm.h"

#include <QLabel>
#include <QPushButton>
#include <array>

#include "ui/Bindings.h"
#include "ui/FitLabels.h"
#include "ui/QtText.h"

namespace toravin {
namespace {

using K = ControlKind;

const std::array kControls{
    ControlSpec{"Label5", K::Label, nullptr, 16, 16, 170, 16, "ファイル名：　　　ＴｏｒａＶｉｎ",
                "", 16, -1},
    ControlSpec{"Label1", K::Label, nullptr, 16, 40, 167, 16, "バージョン：　　　１．18．0", "", 16,
                -1},
    ControlSpec{"Label2", K::Label, nullptr, 16, 112, 48, 19, "注意：", "", 19, -1},
    ControlSpec{"Label3", K::Label, nullptr, 38, 136, 101, 13, "転送プロトコルは、", "", 13, -1},
    ControlSpec{"Label7", K::Label, nullptr, 38, 152, 133, 13,
                "ＨＴＴＰとＨＴＴＰＳに対応しています。", "", 13, -1},
    ControlSpec{"OKButton", K::PushButton, nullptr, 80, 216, 75, 25, "OK", "", 12, 0},
};

constexpr int kClientWidth = 232;
constexpr int kClientHeight = 259;

}  // namespace

TAboutForm::TAboutForm(QWidget* owner) : QDialog(owner, FixedDialogFlags()) {
  setObjectName(QStringLiteral("TAboutForm"));
  setWindowTitle(Ui("ToraVin バージョン情報"));
  setAccessibleName(windowTitle());
  setFont(GothicFont(12));
  setFixedSize(kClientWidth, kClientHeight);
  move(243, 107);
  QPalette silver = palette();
  silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  setPalette(silver);
  setAutoFillBackground(true);
  m_controls = std::make_unique<ControlTable>(this, kControls);
  FitLabelsInside(this);
  auto* ok = m_controls->get<QPushButton>("OKButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
  m_controls->applyTabOrder();
  ok->setFocus(Qt::OtherFocusReason);
}

TAboutForm::~TAboutForm() = default;

}  // namespace toravin
