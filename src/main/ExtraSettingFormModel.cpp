#include "main/ExtraSettingFormModel.h"

#include "main/MainForm.h"
#include "main/SettingFormModel.h"
#include "main/TextUtil.h"
#include "platform/Cp932.h"

namespace toravin {
namespace {

struct KindRow {
  Control TExtraSettingFormModel::*box;
  Control TExtraSettingFormModel::*edit;
  TKindOption TRunOptions::*option;
  const char* editName;
  const char* caption;
};
constexpr KindRow kKinds[] = {
    {&TExtraSettingFormModel::PngCheckBox, &TExtraSettingFormModel::PngFileEdit, &TRunOptions::Png,
     "PngFileEdit", "Png File"},
    {&TExtraSettingFormModel::WebpCheckBox, &TExtraSettingFormModel::WebpFileEdit,
     &TRunOptions::Webp, "WebpFileEdit", "WebP File"},
    {&TExtraSettingFormModel::AvifCheckBox, &TExtraSettingFormModel::AvifFileEdit,
     &TRunOptions::Avif, "AvifFileEdit", "Avif File"},
    {&TExtraSettingFormModel::SvgCheckBox, &TExtraSettingFormModel::SvgFileEdit, &TRunOptions::Svg,
     "SvgFileEdit", "Svg File"},
};

}  // namespace

TExtraSettingFormModel::TExtraSettingFormModel(std::function<TRunOptions()> read,
                                               std::function<void(const TRunOptions&)> write,
                                               Dialogs& dialogs, MaskCheck maskCheck)
    : m_read(std::move(read)),
      m_write(std::move(write)),
      m_dialogs(dialogs),
      m_maskCheck(std::move(maskCheck)) {
  ParallelEdit.SetMinus(false);
  ParallelEdit.Comma = false;
  ParallelEdit.SetDecimalLength(0);
  ParallelEdit.SetIntegerLength(2);
}

TExtraSettingFormModel::TExtraSettingFormModel(TMainForm& form)
    : TExtraSettingFormModel([&form] { return form.RunOptions(); },
                             [&form](const TRunOptions& o) { form.SetRunOptions(o); }, form.Dlg(),
                             TSettingFormModel::FilterMaskCheck(form)) {}

void TExtraSettingFormModel::FormShow() {
  const TRunOptions o = m_read();
  ParallelEdit.SetText(std::to_string(o.TransfersAtOnce()));
  PatternsRadio.Checked = o.Reader == LinkReader::Patterns;
  HtmlRadio.Checked = o.Reader == LinkReader::Html;
  ConnectionCheckBox.Checked = o.Connection == ConnectionUse::Keep;
  for (const KindRow& k : kKinds) {
    (this->*k.box).Checked = (o.*k.option).DownLoad;
    (this->*k.edit).Text = (o.*k.option).Name;
  }
  KindCheckBoxClick();
}

void TExtraSettingFormModel::KindCheckBoxClick() {
  for (const KindRow& k : kKinds) (this->*k.edit).Enabled = (this->*k.box).Checked;
}

void TExtraSettingFormModel::ConnectionCheckBoxClick() {
  const bool keep = ConnectionCheckBox.Checked;
  const int before =
      TRunOptions::DefaultParallel(keep ? ConnectionUse::Close : ConnectionUse::Keep);
  long long shown = 0;
  if (TryStrToInt(ParallelEdit.Text(), shown) && shown == before) {
    ParallelEdit.SetText(std::to_string(
        TRunOptions::DefaultParallel(keep ? ConnectionUse::Keep : ConnectionUse::Close)));
  }
}

void TExtraSettingFormModel::ReaderRadioClick(bool html) {
  HtmlRadio.Checked = html;
  PatternsRadio.Checked = !html;
}

bool TExtraSettingFormModel::Validate() {
  for (const KindRow& k : kKinds) {
    const Control& edit = this->*k.edit;
    if (!(this->*k.box).Checked || !m_maskCheck) continue;
    if (std::optional<std::string> error = m_maskCheck(edit.Text)) {
      const std::string text = Sjis("ファイル名の指定が正しくありません。") + "\r\n" + k.caption +
                               Sjis("：") + edit.Text + "\r\n" + *error;
      m_dialogs.PlayKindSound(MsgDlgType::mtError);
      m_dialogs.MessageDlg(text, MsgDlgType::mtError, mbOKOnly, 0);
      FocusControl = k.editName;
      return false;
    }
  }
  long long parallel = 0;
  if (!TryStrToInt(ParallelEdit.Text(), parallel) || parallel < 1 ||
      parallel > TRunOptions::kMaxParallel) {
    m_dialogs.PlayKindSound(MsgDlgType::mtWarning);
    m_dialogs.MessageDlg(Sjis("同時に転送する数は、1 から 32 までの整数で入力してください。"),
                         MsgDlgType::mtWarning, mbOKOnly, 0);
    FocusControl = "ParallelEdit";
    return false;
  }
  return true;
}

void TExtraSettingFormModel::YesBitBtnClick() {
  FocusControl.clear();
  if (!Validate()) return;
  TRunOptions o = m_read();
  o.Reader = HtmlRadio.Checked ? LinkReader::Html : LinkReader::Patterns;
  o.Connection = ConnectionCheckBox.Checked ? ConnectionUse::Keep : ConnectionUse::Close;
  long long parallel = 0;
  if (TryStrToInt(ParallelEdit.Text(), parallel)) {
    o.Parallel =
        parallel == TRunOptions::DefaultParallel(o.Connection) ? 0 : static_cast<int>(parallel);
  }
  for (const KindRow& k : kKinds) {
    (o.*k.option).DownLoad = (this->*k.box).Checked;
    // A mask holds one line: a line break would end its line in the options file.
    std::string mask = (this->*k.edit).Text;
    std::erase_if(mask, [](char c) { return c == '\r' || c == '\n'; });
    (o.*k.option).Name = mask;
  }
  m_write(o);
  Result = ModalResult::mrOk;
}

void TExtraSettingFormModel::NoBitBtnClick() { Result = ModalResult::mrCancel; }

}  // namespace toravin
