// The settings dialog's model: FormShow and the enabling rules, confirm in its order with the
// proxy hand-over, the two checks before anything is stored, and the round trip through the store
// and the settings file on disk.
#include <gtest/gtest.h>

#include <memory>

#include "main/ExtraSettingFormModel.h"
#include "main/MainForm.h"
#include "main/SettingFormModel.h"
#include "platform/Cp932.h"
#include "platform/RecordingDialogs.h"
#include "settings/ToraVinIniList.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

class SettingForm : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }

  // A program start over the fixture's settings file.
  void Start() {
    if (mf) mf->FormDestroy();
    mf.reset();
    form = std::make_unique<TFormModel>();
    TMainForm::Options options;
    options.timings = Timings::NoPauses();
    options.iniFileName = tmp.File("ToraVin.ini");
    mf = std::make_unique<TMainForm>(*form, dialogs, options);
    mf->FormCreate();
    form->DirectoryEdit.Text = tmp.path();
  }
  // FormDestroy writes the file only after the free-space test.
  void Stop() {
    mf->Settings().FreeSpaceQuery = [] { return std::uint64_t{1} << 40; };
    mf->FormDestroy();
    mf.reset();
  }
  std::unique_ptr<TSettingFormModel> Open() {
    auto m = std::make_unique<TSettingFormModel>(*mf);
    m->FormShow();
    return m;
  }
  std::unique_ptr<TExtraSettingFormModel> OpenExtra() {
    auto m = std::make_unique<TExtraSettingFormModel>(*mf);
    m->FormShow();
    return m;
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const std::string& t : dialogs.BoxTexts()) out.push_back(Cp932ToUtf8(t));
    return out;
  }

  TempDir tmp;
  RecordingDialogs dialogs;
  std::unique_ptr<TFormModel> form;
  std::unique_ptr<TMainForm> mf;
};

TEST_F(SettingForm, FormShowCopiesTheStoreAndSetsTheEnabledStates) {
  TToraVinIniList& s = mf->Settings();
  s.DoFileChoice = false;
  s.JPGDownLoad = true;
  s.GIFDownLoad = false;
  s.JpegName = "a*.jpg";
  s.ProxyUse = false;
  s.ProxyAddress = "127.0.0.1";
  s.ProxyPort = "8080";
  s.FileSizeCheck = true;
  s.FileSize = "12";
  s.Retry = true;
  s.RetryCount = "1,234.5678";
  auto m = Open();
  EXPECT_FALSE(m->FileChoiceCheckBox.Checked);
  EXPECT_FALSE(m->ChoiceGroupBox.Enabled);  // the type boxes show their values, locked
  EXPECT_TRUE(m->JpegCheckBox.Checked);
  EXPECT_TRUE(m->JpegFileEdit.Enabled);
  EXPECT_FALSE(m->GifFileEdit.Enabled);
  EXPECT_EQ(m->JpegFileEdit.Text, "a*.jpg");
  EXPECT_FALSE(m->ProxyGroupBox.Enabled);
  EXPECT_EQ(m->AddressEdit.Text, "127.0.0.1");
  EXPECT_EQ(m->PortEdit.Text(), "8080");
  EXPECT_TRUE(m->FileSizeEdit.Enabled);
  EXPECT_EQ(m->FileSizeEdit.Text(), "12");
  EXPECT_TRUE(m->RetryCountEdit.Enabled);
  EXPECT_EQ(m->RetryCountEdit.Text(), "1234.567");  // through the numeric edit's text rule
  EXPECT_EQ(m->RetryCountEdit.DisplayText(), "1,234.567");
  EXPECT_TRUE(m->YesBitBtn.Enabled);
}

TEST_F(SettingForm, ClickHandlersEnableExactlyWhileTicked) {
  auto m = Open();
  struct Case {
    Control& box;
    void (TSettingFormModel::*click)();
    std::function<bool()> enabled;
  } cases[] = {
      {m->FileChoiceCheckBox, &TSettingFormModel::FileChoiceCheckBoxClick,
       [&] { return m->ChoiceGroupBox.Enabled; }},
      {m->JpegCheckBox, &TSettingFormModel::JpegCheckBoxClick,
       [&] { return m->JpegFileEdit.Enabled; }},
      {m->GifCheckBox, &TSettingFormModel::GifCheckBoxClick,
       [&] { return m->GifFileEdit.Enabled; }},
      {m->ZipCheckBox, &TSettingFormModel::ZipCheckBoxClick,
       [&] { return m->ZipFileEdit.Enabled; }},
      {m->HtmlCheckBox, &TSettingFormModel::HtmlCheckBoxClick,
       [&] { return m->HtmlFileEdit.Enabled; }},
      {m->ProxyCheckBox, &TSettingFormModel::ProxyCheckBoxClick,
       [&] { return m->ProxyGroupBox.Enabled; }},
      {m->FileSizeCheckBox, &TSettingFormModel::FileSizeCheckBoxClick,
       [&] { return m->FileSizeEdit.Enabled; }},
      {m->RetryCheckBox, &TSettingFormModel::RetryCheckBoxClick,
       [&] { return m->RetryCountEdit.Enabled; }},
  };
  for (Case& c : cases) {
    for (bool ticked : {true, false, true}) {
      c.box.Checked = ticked;
      ((*m).*c.click)();
      EXPECT_EQ(c.enabled(), ticked);
    }
  }
}

TEST_F(SettingForm, ConfirmStoresEverythingAndTheFileOnDiskKeepsIt) {
  auto m = Open();
  m->FileChoiceCheckBox.Checked = true;
  m->JpegCheckBox.Checked = true;
  m->JpegFileEdit.Text = Sj("表*.jpg");
  m->GifCheckBox.Checked = false;
  m->ZipCheckBox.Checked = true;
  m->ZipFileEdit.Text = "arc?.zip";
  m->HtmlCheckBox.Checked = true;
  m->ProxyCheckBox.Checked = true;
  m->AddressEdit.Text = "127.0.0.1";
  m->PortEdit.SetText("3128");
  m->FileSizeCheckBox.Checked = true;
  m->FileSizeEdit.SetText("20");
  m->UseTarCheckBox.Checked = true;
  m->RetryCheckBox.Checked = true;
  m->RetryCountEdit.SetText("3");
  m->YesBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrOk);
  EXPECT_TRUE(dialogs.BoxTexts().empty());
  EXPECT_EQ(mf->HttpClient1.Proxy, "127.0.0.1");
  EXPECT_EQ(mf->HttpClient1.ProxyPort, 3128);

  Stop();
  const std::string bytes = ReadFileBytes(tmp.File("ToraVin.ini"));
  EXPECT_NE(bytes.find(Sj("表*.jpg")), std::string::npos);
  EXPECT_NE(bytes.find("3128"), std::string::npos);
  Start();
  auto again = Open();
  EXPECT_TRUE(again->FileChoiceCheckBox.Checked);
  EXPECT_EQ(again->JpegFileEdit.Text, Sj("表*.jpg"));
  EXPECT_FALSE(again->GifCheckBox.Checked);
  EXPECT_EQ(again->ZipFileEdit.Text, "arc?.zip");
  EXPECT_TRUE(again->HtmlCheckBox.Checked);
  EXPECT_TRUE(again->ProxyCheckBox.Checked);
  EXPECT_EQ(again->PortEdit.Text(), "3128");
  EXPECT_EQ(again->FileSizeEdit.Text(), "20");
  EXPECT_TRUE(again->UseTarCheckBox.Checked);
  EXPECT_EQ(again->RetryCountEdit.Text(), "3");
  EXPECT_EQ(mf->HttpClient1.Proxy, "127.0.0.1");  // FormCreate hands the proxy over again
}

TEST_F(SettingForm, ProxyWithAnEmptyPortIsReportedStoredAndNotUsed) {
  mf->HttpClient1.Proxy = "old";
  mf->HttpClient1.ProxyPort = 1;
  auto m = Open();
  m->ProxyCheckBox.Checked = true;
  m->AddressEdit.Text = "127.0.0.1";
  m->PortEdit.SetText("");
  m->YesBitBtnClick();
  EXPECT_EQ(Boxes(), std::vector<std::string>{"プロキシーポートが間違っています。"});
  ASSERT_EQ(dialogs.records().size(), 1u);
  EXPECT_EQ(dialogs.records()[0].call, RecordingDialogs::Call::ShowMessage);  // the plain box
  EXPECT_EQ(m->Result, ModalResult::mrOk);
  EXPECT_TRUE(mf->Settings().ProxyUse);
  EXPECT_EQ(mf->Settings().ProxyPort, "");
  EXPECT_EQ(mf->HttpClient1.Proxy, "");
  EXPECT_EQ(mf->HttpClient1.ProxyPort, 0);
}

TEST_F(SettingForm, ProxyUntickedClearsTheClientButKeepsTheTexts) {
  mf->HttpClient1.Proxy = "127.0.0.1";
  mf->HttpClient1.ProxyPort = 3128;
  auto m = Open();
  m->ProxyCheckBox.Checked = false;
  m->AddressEdit.Text = "proxy.example";
  m->PortEdit.SetText("8080");
  m->YesBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrOk);
  EXPECT_EQ(mf->HttpClient1.Proxy, "");
  EXPECT_EQ(mf->HttpClient1.ProxyPort, 0);
  EXPECT_EQ(mf->Settings().ProxyAddress, "proxy.example");
  EXPECT_EQ(mf->Settings().ProxyPort, "8080");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingForm, ConfirmIsDisabledWhileARunIsActive) {
  form->DownLoadButton.Enabled = false;  // as a run leaves it
  auto m = Open();
  EXPECT_FALSE(m->YesBitBtn.Enabled);
  m->FileChoiceCheckBox.Checked = !mf->Settings().DoFileChoice;
  m->YesBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrNone);
  EXPECT_NE(mf->Settings().DoFileChoice, m->FileChoiceCheckBox.Checked);
  m->NoBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrCancel);
}

TEST_F(SettingForm, CancelStoresNothing) {
  auto m = Open();
  m->JpegFileEdit.Text = "changed.jpg";
  m->NoBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrCancel);
  EXPECT_NE(mf->Settings().JpegName, "changed.jpg");
}

struct MaskCase {
  const char* mask;
  bool ticked;
  bool refused;
};

const MaskCase kMasks[] = {
    {"*.jpg", true, false},  {"pic?.jpg", true, false}, {"nothing-matches", true, false},
    {"a[b.jpg", true, true}, {"(x.jpg", true, true},    {"a[b.jpg", false, false},
    {"", true, false},
};

TEST_F(SettingForm, ATickedMaskThatIsNoPatternKeepsTheDialogOpenOnIt) {
  for (const MaskCase& c : kMasks) {
    dialogs.clear();
    const std::string before = mf->Settings().GifName;
    auto m = Open();
    m->GifCheckBox.Checked = c.ticked;
    m->GifFileEdit.Text = c.mask;
    m->YesBitBtnClick();
    if (c.refused) {
      EXPECT_EQ(m->Result, ModalResult::mrNone) << c.mask;
      EXPECT_EQ(m->FocusControl, "GifFileEdit") << c.mask;
      ASSERT_EQ(Boxes().size(), 1u) << c.mask;
      EXPECT_NE(Boxes()[0].find("Gif File"), std::string::npos) << Boxes()[0];
      EXPECT_NE(Boxes()[0].find(c.mask), std::string::npos) << Boxes()[0];
      EXPECT_EQ(dialogs.records().back().kind, MsgDlgType::mtError);
      EXPECT_EQ(mf->Settings().GifName, before) << c.mask;  // nothing stored
    } else {
      EXPECT_EQ(m->Result, ModalResult::mrOk) << c.mask;
      EXPECT_TRUE(Boxes().empty()) << c.mask;
      EXPECT_EQ(mf->Settings().GifName, c.mask);
    }
  }
}

struct RetryCase {
  bool ticked;
  const char* count;
  bool refused;
};

const RetryCase kRetries[] = {
    {true, "3", false}, {true, "0", false}, {true, "", true},      {true, "2.5", true},
    {true, "2.", true}, {false, "", false}, {false, "2.5", false},
};

TEST_F(SettingForm, ARetryCountTheRetryRuleCannotUseIsRefusedWhenRetryIsTicked) {
  for (const RetryCase& c : kRetries) {
    dialogs.clear();
    auto m = Open();
    m->RetryCheckBox.Checked = c.ticked;
    m->RetryCountEdit.SetText(c.count);
    m->YesBitBtnClick();
    if (c.refused) {
      EXPECT_EQ(m->Result, ModalResult::mrNone) << c.count;
      EXPECT_EQ(m->FocusControl, "RetryCountEdit");
      EXPECT_EQ(Boxes(), std::vector<std::string>{"リトライ回数は整数で入力してください。"});
    } else {
      EXPECT_EQ(m->Result, ModalResult::mrOk) << c.count;
      EXPECT_EQ(mf->Settings().RetryCount, m->RetryCountEdit.Text());
    }
  }
}

TEST_F(SettingForm, AStoredRetryCountWithAPointStillLoadsAndShows) {
  mf->Settings().RetryCount = "2.5";
  Stop();
  Start();
  EXPECT_EQ(mf->Settings().RetryCount, "2.5");
  EXPECT_TRUE(Boxes().empty());
  auto m = Open();
  EXPECT_EQ(m->RetryCountEdit.Text(), "2.5");
}

// 拡張設定: transfers at once, the reader and the four further kinds are shown from the options
// file, refused when out of range or when a ticked mask does not compile, and kept across a
// restart in the options file while ToraVin.ini never holds them.
TEST_F(SettingForm, ExtraSettingsRoundTripThroughTheOptionsFile) {
  auto m = OpenExtra();
  EXPECT_EQ(m->ParallelEdit.Text(), "4");
  EXPECT_TRUE(m->PatternsRadio.Checked);
  EXPECT_FALSE(m->HtmlRadio.Checked);
  EXPECT_EQ(m->PngFileEdit.Text, "*.png");
  EXPECT_FALSE(m->SvgFileEdit.Enabled);
  for (const char* bad : {"0", "33", ""}) {
    m->ParallelEdit.SetText(bad);
    m->YesBitBtnClick();
    EXPECT_EQ(m->Result, ModalResult::mrNone) << bad;
    EXPECT_EQ(m->FocusControl, "ParallelEdit") << bad;
  }
  EXPECT_EQ(Boxes().back(), "同時に転送する数は、1 から 32 までの整数で入力してください。");
  m->ParallelEdit.SetText("2");
  // A broken mask is refused only while its kind is ticked.
  m->WebpFileEdit.Text = "(*.webp";
  m->YesBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrOk);
  m->Result = ModalResult::mrNone;
  m->WebpCheckBox.Checked = true;
  m->KindCheckBoxClick();
  EXPECT_TRUE(m->WebpFileEdit.Enabled);
  m->YesBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrNone);
  EXPECT_EQ(m->FocusControl, "WebpFileEdit");
  EXPECT_EQ(Boxes().back().rfind("ファイル名の指定が正しくありません。\r\nWebP File：(*.webp", 0),
            0u)
      << Boxes().back();
  m->WebpFileEdit.Text = "pic*.webp";
  m->ReaderRadioClick(true);
  m->SvgCheckBox.Checked = true;
  m->YesBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrOk);
  EXPECT_EQ(mf->ParallelTransfers(), 2);
  EXPECT_EQ(mf->RunOptions().Reader, LinkReader::Html);
  Stop();
  EXPECT_EQ(ReadFileBytes(tmp.File("ToraVin.options")),
            "Parallel=2\r\nReader=html\r\nPngDownLoad=0\r\nPngName=*.png\r\n"
            "WebpDownLoad=1\r\nWebpName=pic*.webp\r\nAvifDownLoad=0\r\nAvifName=*.avif\r\n"
            "SvgDownLoad=1\r\nSvgName=*.svg\r\n");
  const std::string ini = ReadFileBytes(tmp.File("ToraVin.ini"));
  for (const char* key : {"Parallel", "Reader", "Webp", "Svg"}) {
    EXPECT_EQ(ini.find(key), std::string::npos) << key;
  }
  Start();
  m = OpenExtra();
  EXPECT_EQ(m->ParallelEdit.Text(), "2");
  EXPECT_TRUE(m->HtmlRadio.Checked);
  EXPECT_TRUE(m->WebpCheckBox.Checked);
  EXPECT_TRUE(m->WebpFileEdit.Enabled);
  EXPECT_EQ(m->WebpFileEdit.Text, "pic*.webp");
  // Cancel leaves the options as they were.
  m->ReaderRadioClick(false);
  m->NoBitBtnClick();
  EXPECT_EQ(mf->RunOptions().Reader, LinkReader::Html);
}

// The connection check box: off by default, "Connection=keep" in the options file when ticked,
// shown ticked after a restart, and the file as it was before once unticked again.
TEST_F(SettingForm, KeptConnectionsRoundTripThroughTheOptionsFile) {
  auto m = OpenExtra();
  EXPECT_FALSE(m->ConnectionCheckBox.Checked);
  // The count that shows a default follows the box; one typed stays.
  struct Step {
    const char* typed;  // null: as shown
    bool keep;
    const char* shown;
  };
  for (const Step& s : {Step{nullptr, true, "32"}, Step{nullptr, false, "4"}, Step{"6", true, "6"},
                        Step{"32", false, "4"}, Step{nullptr, true, "32"}}) {
    if (s.typed) m->ParallelEdit.SetText(s.typed);
    m->ConnectionCheckBox.Checked = s.keep;
    m->ConnectionCheckBoxClick();
    EXPECT_EQ(m->ParallelEdit.Text(), s.shown) << s.typed << s.keep;
  }
  m->YesBitBtnClick();
  EXPECT_EQ(m->Result, ModalResult::mrOk);
  EXPECT_EQ(mf->RunOptions().Connection, ConnectionUse::Keep);
  EXPECT_EQ(mf->RunOptions().Parallel, 0);  // the default, not a number of its own
  EXPECT_EQ(mf->ParallelTransfers(), 32);
  Stop();
  const std::string kept = ReadFileBytes(tmp.File("ToraVin.options"));
  EXPECT_NE(kept.find("\r\nConnection=keep\r\n"), std::string::npos) << kept;
  EXPECT_EQ(ReadFileBytes(tmp.File("ToraVin.ini")).find("Connection"), std::string::npos);
  Start();
  m = OpenExtra();
  EXPECT_TRUE(m->ConnectionCheckBox.Checked);
  m->ConnectionCheckBox.Checked = false;
  m->NoBitBtnClick();  // cancel keeps it
  EXPECT_EQ(mf->RunOptions().Connection, ConnectionUse::Keep);
  m = OpenExtra();
  m->ConnectionCheckBox.Checked = false;
  m->YesBitBtnClick();
  EXPECT_EQ(mf->RunOptions().Connection, ConnectionUse::Close);
  Stop();
  EXPECT_EQ(ReadFileBytes(tmp.File("ToraVin.options")).find("Connection"), std::string::npos);
}

// The settings dialog's button opens the options dialog through the view's hook.
TEST_F(SettingForm, TheExtraButtonOpensTheOptionsDialog) {
  auto m = Open();
  m->ExtraButtonClick();  // no hook: nothing happens
  int opened = 0;
  m->OpenExtra = [&opened] { ++opened; };
  m->ExtraButtonClick();
  EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace toravin::test
