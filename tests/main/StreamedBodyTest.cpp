// Files that are saved reach the disk as they arrive: through a temporary file in the save
// directory that becomes the numbered name only when every test has passed, and that is gone
// after every other ending.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

#include "CrawlFixture.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class StreamedBody : public CrawlFixture {};

std::string Bytes(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
  return s;
}

TEST_F(StreamedBody, SavedBytesAreTheBytesSent) {
  S().JPGDownLoad = S().ZIPDownLoad = true;
  const std::size_t sizes[] = {0, 1, 65535, 65537, (std::size_t{3} << 20) + 7};
  std::string html;
  Strings expected;
  for (std::size_t size : sizes) {
    std::string name = "f" + std::to_string(size) + ".zip";
    File("/" + name, Bytes(size), "application/zip");
    html += "<a href=\"" + name + "\">";
    expected.push_back(name);
  }
  // Without a length the body runs until the server closes.
  Serve("/open.jpg",
        ScriptedReply::Text("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n" + Bytes(70000)));
  html += "<img src=\"open.jpg\">";
  expected.push_back("open.jpg");
  Page("/index.html", html);
  form->AddressEdit.Text = Url("/index.html");
  Download();
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(SavedFiles(), expected);
  for (std::size_t size : sizes) {
    EXPECT_EQ(Saved("f" + std::to_string(size) + ".zip"), Bytes(size)) << size;
  }
  EXPECT_EQ(Saved("open.jpg"), Bytes(70000));
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(StreamedBody, TheBodyIsOnTheDiskWhileItArrives) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"slow.jpg\">");
  Serve("/slow.jpg", ScriptedReply()
                         .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                               "Content-Length: 8\r\n\r\n1234")
                         .Delay(300)
                         .Send("5678"));
  form->AddressEdit.Text = Url("/index.html");
  Strings during;
  SetMessagePump([&] {
    if (during.empty() && form->StatusText().rfind("slow.jpg  ( 4", 0) == 0) {
      during = SavedFiles();
    }
  });
  Download();
  SetMessagePump(nullptr);
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].rfind("~tv", 0), 0u) << during[0];
  EXPECT_EQ(ReadFileBytes(saveDir + "/" + during[0]), "");  // gone now
  EXPECT_EQ(SavedFiles(), Strings{"slow.jpg"});
  EXPECT_EQ(Saved("slow.jpg"), "12345678");
}

// Every way a fetched file is not saved leaves the save directory as it was.
TEST_F(StreamedBody, NoTemporaryFileIsLeftWhenTheFileIsNotSaved) {
  struct Case {
    const char* what;
    ScriptedReply reply;
    std::uint64_t freeSpace;
    bool sizeCheck;
    Strings boxes;
  };
  const std::string jpegHead = "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n";
  const Case cases[] = {
      {"cut body",
       ScriptedReply::Text(jpegHead + "Content-Length: 100\r\n\r\n" + Bytes(50)),
       1u << 30,
       false,
       {"ダウンロード完了"}},
      {"size test",
       ScriptedReply::Text(jpegHead + "\r\n" + Bytes(100)),
       1u << 30,
       true,
       {"ダウンロード完了"}},
      {"wrong type",
       ScriptedReply::Http(200, Bytes(100), "Content-Type: text/plain\r\n"),
       1u << 30,
       false,
       {"ダウンロード完了"}},
      {"disk full",
       ScriptedReply::Text(jpegHead + "Content-Length: 100\r\n\r\n" + Bytes(100)),
       99,
       false,
       {"ディスクがいっぱいで書き込めません。", "ダウンロードを中断しました。"}},
      {"server error",
       ScriptedReply::Http(503, Bytes(100), "Content-Type: image/jpeg\r\n"),
       1u << 30,
       false,
       {"ダウンロード完了"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs.clear();
    S().JPGDownLoad = true;
    S().Retry = false;
    S().FileSizeCheck = c.sizeCheck;
    S().FileSize = "1";
    S().ClearItems();
    Serve("/a.jpg", c.reply);
    const std::uint64_t freeSpace = c.freeSpace;
    mf->FreeSpaceQuery = [freeSpace] { return freeSpace; };
    S().AddItem(Url("/a.jpg"), "");
    Continue();
    EXPECT_GT(Hits("/a.jpg"), 0);
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_EQ(Boxes(), c.boxes);
  }
}

TEST_F(StreamedBody, AnExistingFileKeepsItsNameAndTheNewOneIsNumbered) {
  S().JPGDownLoad = true;
  ASSERT_TRUE(WriteWholeFile(saveDir + "/a.jpg", "old"));
  ASSERT_TRUE(WriteWholeFile(saveDir + "/a(1).jpg", "older"));
  File("/a.jpg", "new", "image/jpeg");
  S().AddItem(Url("/a.jpg"), "");
  Continue();
  EXPECT_EQ(SavedFiles(), (Strings{"a(1).jpg", "a(2).jpg", "a.jpg"}));
  EXPECT_EQ(Saved("a.jpg"), "old");
  EXPECT_EQ(Saved("a(1).jpg"), "older");
  EXPECT_EQ(Saved("a(2).jpg"), "new");
}

TEST_F(StreamedBody, APageLinkingAPictureIsStillParsedFromMemory) {
  S().JPGDownLoad = true;
  // A start page without ".htm" in its name is parsed all the same.
  Page("/dir/", "<img src=\"a.jpg\">");
  File("/dir/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/dir/");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"a.jpg"});
  EXPECT_EQ(Saved("a.jpg"), "A");
}

// A start page that is a picture is saved whole from the disk and still parsed from memory.
TEST_F(StreamedBody, AStartPageThatIsAPictureIsSavedAndParsed) {
  S().JPGDownLoad = true;
  const std::string body = "<img src=\"" + Url("/x.jpg") + "\">" + Bytes(std::size_t{2} << 20);
  File("/start.jpg", body, "image/jpeg");
  File("/x.jpg", "X", "image/jpeg");
  form->AddressEdit.Text = Url("/start.jpg");
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"start.jpg", "x.jpg"}));
  EXPECT_EQ(Saved("start.jpg"), body);
  EXPECT_EQ(Hits("/x.jpg"), 1);
}

// A write that fails half-way (here: the process may not write files that large) removes the
// part, and the entry meets the save failure as before: it goes through the retry rule.
TEST_F(StreamedBody, AWriteThatFailsHalfWayLeavesNothingBehind) {
  S().JPGDownLoad = true;
  S().Retry = false;
  File("/big.jpg", Bytes(300000), "image/jpeg");
  File("/small.jpg", "S", "image/jpeg");
  S().AddItem(Url("/big.jpg"), "");
  S().AddItem(Url("/small.jpg"), "");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 100000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Continue();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  // As for any file the disk refuses: told, the run stops, and the entry stays for Continue.
  EXPECT_EQ(SavedFiles(), Strings{});
  EXPECT_EQ(Hits("/big.jpg"), 1);
  EXPECT_EQ(Pending(), (Strings{Url("/big.jpg"), Url("/small.jpg")}));
  EXPECT_EQ(Boxes(), (Strings{"ファイル " + saveDir + "\\big.jpg を作成できません",
                              "ダウンロードを中断しました。"}));
  Continue();
  EXPECT_EQ(SavedFiles(), (Strings{"big.jpg", "small.jpg"}));
  EXPECT_EQ(Saved("big.jpg"), Bytes(300000));
}

}  // namespace
}  // namespace toravin::test
