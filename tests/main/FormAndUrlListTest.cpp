// Start-up and exit of the window model, and the work-list memo's pop-up menu.
#include <gtest/gtest.h>

#include "CrawlFixture.h"
#include "net/SockError.h"
#include "platform/Cp932.h"
#include "platform/MessagePump.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class Form : public CrawlFixture {};

TEST_F(Form, FirstStartWithoutASettingsFile) {
  EXPECT_EQ(form->AddressEdit.Text, "http://");
  EXPECT_FALSE(form->UseLhaCheckBox.Checked);
  EXPECT_TRUE(form->LhaFileEdit.Enabled && form->Label5.Enabled);
  EXPECT_EQ(form->DownLoadButton.bounds, (Bounds{424, 96, 99, 193}));
  EXPECT_EQ(form->DownLoadAbortButton.bounds, (Bounds{424, 96, 99, 193}));
  EXPECT_TRUE(form->DownLoadButton.Visible && form->DownLoadButton.Enabled);
  EXPECT_FALSE(form->DownLoadAbortButton.Visible || form->DownLoadAbortButton.Enabled);
  EXPECT_FALSE(form->ContinueButton.Visible);
  EXPECT_EQ(S().JpegName, "*.jpg");
  EXPECT_EQ(mf->HttpClient1.TimeOut, 60000);
  // Exit writes the 234-byte first-run file (the save directory field was left empty).
  form->DirectoryEdit.Text = "";
  mf->FormDestroy();
  EXPECT_EQ(ReadFileBytes(iniFile).size(), 234u);
}

TEST_F(Form, SettingsComeBackAfterARestart) {
  S().ProxyUse = true;
  S().ProxyAddress = "127.0.0.1";
  S().ProxyPort = "8080";
  S().JpegName = "";  // a cleared mask stays cleared
  form->UseLhaCheckBox.Checked = true;
  form->LhaFileEdit.Text = "pics";
  form->AddressEdit.Text = "http://h/index.html";
  Restart();
  EXPECT_EQ(mf->HttpClient1.Proxy, "127.0.0.1");
  EXPECT_EQ(mf->HttpClient1.ProxyPort, 8080);
  EXPECT_EQ(S().JpegName, "");
  EXPECT_TRUE(form->UseLhaCheckBox.Checked);
  EXPECT_EQ(form->LhaFileEdit.Text, "pics");
  EXPECT_EQ(form->AddressEdit.Text, "http://h/index.html");
  EXPECT_EQ(form->DirectoryEdit.Text, saveDir);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Form, BadProxyPortMeansNoProxy) {
  S().ProxyUse = true;
  S().ProxyAddress = "proxy";
  S().ProxyPort = "80a";
  Restart();
  EXPECT_EQ(mf->HttpClient1.Proxy, "");
  EXPECT_EQ(mf->HttpClient1.ProxyPort, 0);
  EXPECT_EQ(Boxes(), Strings{"プロキシーポートが間違っています。"});
}

TEST_F(Form, FaultySettingsFileKeepsWhatWasReadAndTheLayoutButtons) {
  WriteFileBytes(iniFile, std::string("TPF0\x0FTToraVinIniList\x00\x02Rf\x01\x06\x05"
                                      "a.jpg\x06\x00\x06\x03",
                                      37));
  mf.reset();
  form = std::make_unique<TFormModel>();
  TMainForm::Options options;
  options.iniFileName = iniFile;
  mf = std::make_unique<TMainForm>(*form, dialogs, options);
  mf->FormCreate();
  EXPECT_EQ(Boxes(),
            Strings{"TToraVinIniList.Rf の読み込み中のエラー : ストリームからの読み込みエラー\r\n"
                    "読み込めなかった設定ファイルは " +
                    iniFile + ".broken として残しました。"});
  EXPECT_EQ(Pending(), Strings{"a.jpg"});
  EXPECT_FALSE(form->DownLoadButton.Visible);  // the layout's states stay
  EXPECT_TRUE(form->ContinueButton.Visible && form->ContinueButton.Enabled);
  mf->FormDestroy();  // rewritten from what was read
  Restart();
  EXPECT_EQ(Pending(), Strings{"a.jpg"});
}

TEST_F(Form, FullDiskAtExitLeavesTheOldFile) {
  WriteFileBytes(iniFile, "old");
  S().FreeSpaceQuery = [] { return std::uint64_t{10}; };
  mf->FormDestroy();
  EXPECT_EQ(ReadFileBytes(iniFile), "old");
  EXPECT_EQ(Boxes(), Strings{"ディスクが一杯で初期設定ファイルを書き込めません。"});
}

TEST_F(Form, PastingUrls) {
  dialogs.clipboard = "http://h/d/a.jpg\r\nnot a url\n  HTTP://h/e/b.gif\r\n\r\nhttp://h/c.zip";
  dialogs.messageAnswers = {ModalResult::mrYes, ModalResult::mrNo};
  mf->UrlPasteClick();
  ASSERT_EQ(Pending(), (Strings{"http://h/d/a.jpg", "  HTTP://h/e/b.gif"}));
  EXPECT_EQ(S().Item(0).Referer, "http://h/d/index.html");
  EXPECT_EQ(S().Item(1).Referer, "HTTP://h/e/index.html");
  EXPECT_EQ(Boxes(), (Strings{"not a url はＵＲＬとして、正しくありません。\r\n処理を続けますか？",
                              " はＵＲＬとして、正しくありません。\r\n処理を続けますか？"}));
  EXPECT_TRUE(form->ContinueButton.Visible && form->ContinueButton.Enabled);
  // The not-a-URL dialog plays no kind sound, only a beep.
  for (const auto& r : dialogs.records()) EXPECT_NE(r.call, RecordingDialogs::Call::Sound);

  // An absolute referrer is used as typed (trimmed); the same URL may be pasted twice.
  dialogs.clear();
  dialogs.clipboard = "http://h/d/a.jpg";
  dialogs.inputAnswers = {"  http://r/page.html \t"};
  mf->UrlPasteClick();
  EXPECT_EQ(S().Count(), 3);
  EXPECT_EQ(S().Item(2).Referer, "http://r/page.html");

  dialogs.clipboard.reset();
  mf->UrlPasteClick();
  EXPECT_EQ(Boxes().back(), "貼り付けようとしたものは、ＴＥＸＴではありません。");
}

TEST_F(Form, PastingHttpsUrls) {
  dialogs.clipboard = "https://h/d/a.jpg\r\nhttps://h/e/b.gif";
  dialogs.inputAnswers = {"index.html"};
  mf->UrlPasteClick();
  ASSERT_EQ(Pending(), (Strings{"https://h/d/a.jpg", "https://h/e/b.gif"}));
  EXPECT_EQ(S().Item(0).Referer, "https://h/d/index.html");
  EXPECT_EQ(S().Item(1).Referer, "https://h/e/index.html");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(Form, ClearingAndSavingTheList) {
  mf->SaveURLClick();
  EXPECT_EQ(Boxes(), Strings{"保存するものがありません。"});
  S().AddItem("http://h/1.jpg", "r");
  S().AddItem("2.gif", "");
  S().AddItem("http://h/\x95\x5C.zip", "");
  std::string listFile = tmp.File("urls.txt");
  dialogs.saveAnswers = {std::nullopt, listFile};
  mf->SaveURLClick();  // cancelled
  EXPECT_EQ(ReadFileBytes(listFile), "");
  mf->SaveURLClick();
  EXPECT_EQ(ReadFileBytes(listFile), "http://h/1.jpg\r\n2.gif\r\nhttp://h/\x95\x5C.zip\r\n");
  EXPECT_EQ(Cp932ToUtf8(dialogs.records().back().text),
            "テキストファイル ( *.TXT )|*.txt|すべてのファイル ( *.* )|*.*");

  form->ContinueButton.Visible = form->ContinueButton.Enabled = true;
  dialogs.messageAnswers = {ModalResult::mrNo};
  mf->ClearMemoClick();
  EXPECT_EQ(S().Count(), 3);
  mf->ClearMemoClick();
  EXPECT_EQ(S().Count(), 0);
  EXPECT_EQ(form->BodyMemo.Count(), 0);
  EXPECT_FALSE(form->ContinueButton.Visible);
}

TEST_F(Form, ArchiveNameFromTheSaveDialog) {
  form->LhaFileEdit.Text = "old";
  form->DirectoryEdit.Text = Sj("/data/一覧表");
  struct Case {
    std::optional<std::string> chosen;  // CP932; nothing: cancelled
    std::string name, dir;
  };
  const Case cases[] = {
      {std::nullopt, "old", Sj("/data/一覧表")},
      {Sj("/data/一覧表/pack.lzh"), "pack.lzh", Sj("/data/一覧表")},
      {Sj("/能/x.lzh"), "x.lzh", Sj("/能")},
      {std::string("/root.lzh"), "root.lzh", "/"},
      {std::string("C:\\a.lzh"), "a.lzh", "C:\\"},
  };
  for (const Case& c : cases) {
    dialogs.saveAnswers = {c.chosen};
    mf->ReferenceButtonClick();
    EXPECT_EQ(form->LhaFileEdit.Text, c.name);
    EXPECT_EQ(form->DirectoryEdit.Text, c.dir);
  }
  const RecordingDialogs::Record& r = dialogs.records().front();
  EXPECT_EQ(Cp932ToUtf8(r.text), "圧縮ファイル|*.lzh|すべてのファイル|*.*");
  EXPECT_EQ(Cp932ToUtf8(r.caption), "保存する圧縮ファイルの名前");
  EXPECT_EQ(Cp932ToUtf8(r.dir), "/data/一覧表");
}

// Pasting URLs during a transfer used to show Continue, and pressing it started a second run
// inside the first: its links were never queued, a file was saved twice and two completion boxes
// appeared. Now no way into a run is open while one is active.
TEST_F(Form, NoRunStartsInsideARun) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"slow.jpg\"><img src=\"z.jpg\">");
  Serve("/slow.jpg", ScriptedReply()
                         .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                               "Content-Length: 4\r\n\r\n12")
                         .Delay(300)
                         .Send("34"));
  File("/z.jpg", "Z", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  dialogs.clipboard = Url("/z.jpg");
  bool tried = false;
  bool continueOffered = true;
  SetMessagePump([&] {
    if (tried || form->StatusText().rfind("slow.jpg  (", 0) != 0) return;
    tried = true;
    mf->UrlPasteClick();
    continueOffered = form->ContinueButton.Visible || form->ContinueButton.Enabled;
    mf->ContinueButtonClick();
    mf->DownLoadButtonClick();
    EXPECT_THROW(mf->HttpClient1.Get(Url("/z.jpg")), ESockError);
  });
  Download();
  SetMessagePump(nullptr);
  ASSERT_TRUE(tried);
  EXPECT_FALSE(continueOffered);
  EXPECT_EQ(SavedFiles(), (Strings{"slow.jpg", "z(1).jpg", "z.jpg"}));
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  // The pasted copy of z.jpg was fetched once, in its turn after the page's own links.
  EXPECT_EQ(Hits("/z.jpg"), 2);
  EXPECT_FALSE(mf->Running());
}

// Closing the program during a transfer aborts the run but keeps the entry in flight, whatever the
// retry rule would do with it; an entry the server has answered for good is not brought back.
TEST_F(Form, ClosingDuringARunKeepsTheEntryInFlight) {
  struct Case {
    bool retry;
    const char* slow;  // the reply of the entry in flight
    Strings pending;
  };
  const std::string cut =
      "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 8\r\n\r\n1234";
  const Case cases[] = {
      {false, "cut", {"next.jpg", "slow.jpg"}},
      {true, "cut", {"next.jpg", "slow.jpg"}},
      {false, "404", {"next.jpg"}},
  };
  for (const Case& c : cases) {
    Restart();
    S().JPGDownLoad = true;
    S().Retry = c.retry;
    Page("/index.html", "<img src=\"slow.jpg\"><img src=\"next.jpg\">");
    const std::string slowReply = std::string(c.slow) == "cut"
                                      ? cut
                                      : "HTTP/1.0 404 Not Found\r\nContent-Length: 4\r\n\r\n12";
    Serve("/slow.jpg", ScriptedReply().Send(slowReply).Delay(300).Send("56"));
    File("/next.jpg", "N", "image/jpeg");
    form->AddressEdit.Text = Url("/index.html");
    bool closed = false;
    SetMessagePump([&] {
      if (!closed && form->StatusText().rfind("slow.jpg  (", 0) == 0) {
        closed = true;
        mf->AbortForExit();
      }
    });
    Download();
    SetMessagePump(nullptr);
    EXPECT_TRUE(closed);
    EXPECT_EQ(Pending(), c.pending) << c.retry << c.slow;
    EXPECT_TRUE(SavedFiles().empty());
  }
}

}  // namespace
}  // namespace toravin::test
