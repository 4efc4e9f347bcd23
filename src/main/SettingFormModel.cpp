// The settings dialog's behaviour. Confirm checks first and writes afterwards, so a refused
// confirm leaves the store as it was; the writes then follow the dialog's fixed order, the proxy
// hand-over to the client between the proxy fields and the size fields.
#include "main/SettingFormModel.h"

#include "main/FileKinds.h"
#include "main/MainForm.h"
#include "main/TextUtil.h"
#include "net/SockClient.h"
#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"
#include "settings/ToraVinIniList.h"

namespace toravin {
namespace {

// The three numeric edits as the dialog lays them out: port and size are plain integers, the
// retry count keeps the control's defaults except for the sign.
void SetUpNumber(TNumEditModel& edit, bool integerOnly) {
  edit.SetMinus(false);
  if (integerOnly) {
    edit.Comma = false;
    edit.SetDecimalLength(0);
  }
}

}  // namespace

TSettingFormModel::TSettingFormModel(TToraVinIniList& store, TSockClient& client, Dialogs& dialogs,
                                     MaskCheck maskCheck)
    : m_store(store), m_client(client), m_dialogs(dialogs), m_maskCheck(std::move(maskCheck)) {
  SetUpNumber(PortEdit, true);
  SetUpNumber(FileSizeEdit, true);
  SetUpNumber(RetryCountEdit, false);
  JpegFileEdit.Text = "*.jpg";
  GifFileEdit.Text = "*.gif";
  ZipFileEdit.Text = "*.zip";
  HtmlFileEdit.Text = "*.html";
}

TSettingFormModel::TSettingFormModel(TMainForm& form)
    : TSettingFormModel(form.Settings(), form.HttpClient1, form.Dlg(), FilterMaskCheck(form)) {
  YesBitBtn.Enabled = form.Form().DownLoadButton.Enabled;
}

TSettingFormModel::MaskCheck TSettingFormModel::FilterMaskCheck(TMainForm& form) {
  return [&form](const std::string& mask) -> std::optional<std::string> {
    try {
      form.MatchMask("", MaskNamePart(mask));
    } catch (const ERegExpParser& e) {
      return std::string(e.what());
    }
    return std::nullopt;
  };
}

void TSettingFormModel::FormShow() {
  const TToraVinIniList& s = m_store;
  FileChoiceCheckBox.Checked = s.DoFileChoice;
  JpegCheckBox.Checked = s.JPGDownLoad;
  GifCheckBox.Checked = s.GIFDownLoad;
  ZipCheckBox.Checked = s.ZIPDownLoad;
  HtmlCheckBox.Checked = s.HTMLDownLoad;
  JpegFileEdit.Text = s.JpegName;
  GifFileEdit.Text = s.GifName;
  ZipFileEdit.Text = s.ZipName;
  HtmlFileEdit.Text = s.HtmlName;
  ProxyCheckBox.Checked = s.ProxyUse;
  AddressEdit.Text = s.ProxyAddress;
  PortEdit.SetText(s.ProxyPort);
  FileSizeCheckBox.Checked = s.FileSizeCheck;
  FileSizeEdit.SetText(s.FileSize);
  UseTarCheckBox.Checked = s.UseTar;
  RetryCheckBox.Checked = s.Retry;
  RetryCountEdit.SetText(s.RetryCount);

  ChoiceGroupBox.Enabled = FileChoiceCheckBox.Checked;
  JpegFileEdit.Enabled = s.JPGDownLoad;
  GifFileEdit.Enabled = s.GIFDownLoad;
  ZipFileEdit.Enabled = s.ZIPDownLoad;
  HtmlFileEdit.Enabled = s.HTMLDownLoad;
  ProxyGroupBox.Enabled = s.ProxyUse;
  FileSizeEdit.Enabled = s.FileSizeCheck;
  RetryCountEdit.Enabled = s.Retry;
}

void TSettingFormModel::FileChoiceCheckBoxClick() {
  ChoiceGroupBox.Enabled = FileChoiceCheckBox.Checked;
}
void TSettingFormModel::JpegCheckBoxClick() { JpegFileEdit.Enabled = JpegCheckBox.Checked; }
void TSettingFormModel::GifCheckBoxClick() { GifFileEdit.Enabled = GifCheckBox.Checked; }
void TSettingFormModel::ZipCheckBoxClick() { ZipFileEdit.Enabled = ZipCheckBox.Checked; }
void TSettingFormModel::HtmlCheckBoxClick() { HtmlFileEdit.Enabled = HtmlCheckBox.Checked; }
void TSettingFormModel::ProxyCheckBoxClick() { ProxyGroupBox.Enabled = ProxyCheckBox.Checked; }
void TSettingFormModel::FileSizeCheckBoxClick() { FileSizeEdit.Enabled = FileSizeCheckBox.Checked; }
void TSettingFormModel::RetryCheckBoxClick() { RetryCountEdit.Enabled = RetryCheckBox.Checked; }
void TSettingFormModel::ExtraButtonClick() {
  if (OpenExtra) OpenExtra();
}

bool TSettingFormModel::Validate() {
  // A ticked kind's mask is compiled by the download filter for every link of that kind; a
  // pattern fault would otherwise stop a crawl halfway.
  const struct {
    const Control& box;
    const Control& edit;
    const char* editName;
    const char* caption;
  } masks[] = {
      {JpegCheckBox, JpegFileEdit, "JpegFileEdit", "Jpeg File"},
      {GifCheckBox, GifFileEdit, "GifFileEdit", "Gif File"},
      {ZipCheckBox, ZipFileEdit, "ZipFileEdit", "Zip File"},
      {HtmlCheckBox, HtmlFileEdit, "HtmlFileEdit", "Html File"},
  };
  for (const auto& m : masks) {
    if (!m.box.Checked || !m_maskCheck) continue;
    if (std::optional<std::string> error = m_maskCheck(m.edit.Text)) {
      const std::string text = Sjis("ファイル名の指定が正しくありません。") + "\r\n" + m.caption +
                               Sjis("：") + m.edit.Text + "\r\n" + *error;
      m_dialogs.PlayKindSound(MsgDlgType::mtError);
      m_dialogs.MessageDlg(text, MsgDlgType::mtError, mbOKOnly, 0);
      FocusControl = m.editName;
      return false;
    }
  }
  // The retry rule counts whole tries: an empty count or one with a fraction would stop a run.
  long long count = 0;
  if (RetryCheckBox.Checked && (!TryStrToInt(RetryCountEdit.Text(), count) || count < 0)) {
    m_dialogs.PlayKindSound(MsgDlgType::mtWarning);
    m_dialogs.MessageDlg(Sjis("リトライ回数は整数で入力してください。"), MsgDlgType::mtWarning,
                         mbOKOnly, 0);
    FocusControl = "RetryCountEdit";
    return false;
  }
  return true;
}

void TSettingFormModel::YesBitBtnClick() {
  if (!YesBitBtn.Enabled) return;
  FocusControl.clear();
  if (!Validate()) return;
  TToraVinIniList& s = m_store;
  s.DoFileChoice = FileChoiceCheckBox.Checked;
  s.JpegName = JpegFileEdit.Text;
  s.GifName = GifFileEdit.Text;
  s.ZipName = ZipFileEdit.Text;
  s.HtmlName = HtmlFileEdit.Text;
  s.JPGDownLoad = JpegCheckBox.Checked;
  s.GIFDownLoad = GifCheckBox.Checked;
  s.ZIPDownLoad = ZipCheckBox.Checked;
  s.HTMLDownLoad = HtmlCheckBox.Checked;
  s.ProxyUse = ProxyCheckBox.Checked;
  s.ProxyAddress = AddressEdit.Text;
  s.ProxyPort = PortEdit.Text();
  if (s.ProxyUse) {
    long long port = 0;
    if (TryStrToInt(s.ProxyPort, port)) {
      m_client.ProxyPort = static_cast<int>(port);
      m_client.Proxy = s.ProxyAddress;
    } else {
      m_dialogs.ShowMessage(Sjis("プロキシーポートが間違っています。"));
      m_client.Proxy.clear();
      m_client.ProxyPort = 0;
    }
  } else {
    m_client.Proxy.clear();
    m_client.ProxyPort = 0;
  }
  s.FileSizeCheck = FileSizeCheckBox.Checked;
  s.FileSize = FileSizeEdit.Text();
  s.UseTar = UseTarCheckBox.Checked;
  s.Retry = RetryCheckBox.Checked;
  s.RetryCount = RetryCountEdit.Text();
  Result = ModalResult::mrOk;
}

void TSettingFormModel::NoBitBtnClick() { Result = ModalResult::mrCancel; }

}  // namespace toravin
