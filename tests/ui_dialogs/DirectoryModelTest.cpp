// The directory dialogs' models: creating directories with every outcome, the drive list from a
// mounts table, the lazy reader, names shown and handed to the crawl (Shift-JIS names whose
// second byte is 0x5C, a UTF-8 name Shift-JIS cannot spell), and the change dialog's preset, OK
// and cancel.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "main/DirectoryChangeModel.h"
#include "main/DirectoryCreateModel.h"
#include "main/DirectoryName.h"
#include "main/DirectoryReader.h"
#include "main/DriveList.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/RecordingDialogs.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> BoxTexts(const RecordingDialogs& d) {
  std::vector<std::string> out;
  for (const std::string& t : d.BoxTexts()) out.push_back(Cp932ToUtf8(t));
  return out;
}

class DirectoryCreate : public ::testing::Test {
 protected:
  TempDir tmp;
  RecordingDialogs dialogs;
};

TEST_F(DirectoryCreate, OutcomesOfEachKindOfPath) {
  WriteFileBytes(tmp.File("file"), "x");
  ASSERT_EQ(::mkdir(tmp.File("locked").c_str(), 0555), 0);
  const bool root = ::geteuid() == 0;  // root may write into a read-only directory
  struct Case {
    std::string text;
    TDirectoryCreateModel::Outcome outcome;
    std::string made;  // a directory that must exist afterwards, or ""
    std::vector<std::string> boxes;
  } cases[] = {
      {tmp.File("new"), TDirectoryCreateModel::Outcome::Created, tmp.File("new"), {}},
      {tmp.File("new"), TDirectoryCreateModel::Outcome::Created, tmp.File("new"), {}},
      {tmp.File("a/b/c/"), TDirectoryCreateModel::Outcome::Created, tmp.File("a/b/c"), {}},
      {"", TDirectoryCreateModel::Outcome::NoName, "", {"ディレクトリを作成することができません"}},
      {"bare",
       TDirectoryCreateModel::Outcome::NoName,
       "",
       {"ディレクトリを作成することができません"}},
      {tmp.File("file"),
       TDirectoryCreateModel::Outcome::Failed,
       "",
       {"ディレクトリーを作成することができませんでした。"}},
      {tmp.File("file/sub"),
       TDirectoryCreateModel::Outcome::Failed,
       "",
       {"ディレクトリーを作成することができませんでした。"}},
      {"/", TDirectoryCreateModel::Outcome::Created, "/", {}},
      // Refused even to root: the kernel's own file system takes no directories.
      {"/proc/self/toravin-test/x",
       TDirectoryCreateModel::Outcome::Failed,
       "",
       {"ディレクトリーを作成することができませんでした。"}},
  };
  for (const Case& c : cases) {
    dialogs.clear();
    EXPECT_EQ(TDirectoryCreateModel::MakeDirectory(c.text), c.outcome) << c.text;
    TDirectoryCreateModel m(dialogs);
    m.Text = c.text;
    m.OKButtonClick();
    EXPECT_EQ(m.Result, c.outcome == TDirectoryCreateModel::Outcome::Created ? ModalResult::mrOk
                                                                             : ModalResult::mrNone)
        << c.text;
    if (!c.made.empty()) {
      EXPECT_TRUE(IsDir(c.made)) << c.made;
      EXPECT_EQ(m.Created, c.made);
    }
    EXPECT_EQ(BoxTexts(dialogs), c.boxes) << c.text;
  }
  EXPECT_EQ(ReadFileBytes(tmp.File("file")), "x");  // the file in the way is untouched
  if (!root) {
    dialogs.clear();
    TDirectoryCreateModel m(dialogs);
    m.Text = tmp.File("locked/x");
    m.OKButtonClick();
    EXPECT_EQ(m.Result, ModalResult::mrNone);
    EXPECT_EQ(BoxTexts(dialogs), Strings{"ディレクトリーを作成することができませんでした。"});
    ASSERT_FALSE(dialogs.records().empty());
    EXPECT_EQ(dialogs.records().back().kind, MsgDlgType::mtWarning);
    EXPECT_FALSE(IsDir(tmp.File("locked/x")));
  }
}

TEST_F(DirectoryCreate, NestedPathsMakeTheMiddleDirectoriesFirst) {
  const std::string deep = tmp.File("表/ソ/能");
  TDirectoryCreateModel m(dialogs);
  m.Text = deep;
  m.OKButtonClick();
  EXPECT_EQ(m.Result, ModalResult::mrOk);
  EXPECT_EQ(ListDirectory(tmp.path()), Strings{"表"});
  EXPECT_EQ(ListDirectory(tmp.File("表")), Strings{"ソ"});
  EXPECT_TRUE(IsDir(deep));
}

TEST(DirectoryName, NamesAreShownReadably) {
  EXPECT_EQ(DisplayName("photos"), "photos");
  EXPECT_EQ(DisplayName("表示"), "表示");              // UTF-8 as it is
  EXPECT_EQ(DisplayName("\x95\x5C\x83\x5C"), "表ソ");  // Shift-JIS bytes converted
  EXPECT_EQ(DisplayName("a\xFF"), "a\xEF\xBF\xBD");    // neither: a replacement mark
}

struct HandOver {
  const char* native;
  const char* crawl;  // CP932 bytes, or nullptr when refused
};

const HandOver kHandOvers[] = {
    {"/tmp/plain", "/tmp/plain"},
    {"/tmp/表", "/tmp/\x95\x5C"},
    {"/tmp/ソ", "/tmp/\x83\x5C"},
    {"/tmp/能", "/tmp/\x94\x5C"},
    {"/tmp/表/能力", "/tmp/\x95\x5C/\x94\x5C\x97\xCD"},
    {"/tmp/caf\xC3\xA9", nullptr},               // "café": CP932 has no "é"
    {"/tmp/\xED\x95\x9C\xEA\xB8\x80", nullptr},  // Korean
    {"/tmp/a\\b", nullptr},                      // the crawl would read "\" as a separator
    {"/tmp/\x95\x5C", nullptr},                  // raw Shift-JIS bytes on disk
};

TEST(DirectoryName, TheCrawlGetsAPathOnlyWhenItLeadsBackToTheSameDirectory) {
  for (const HandOver& h : kHandOvers) {
    const std::optional<std::string> crawl = CrawlPath(h.native);
    if (!h.crawl) {
      EXPECT_FALSE(crawl) << h.native;
      continue;
    }
    ASSERT_TRUE(crawl) << h.native;
    EXPECT_EQ(*crawl, h.crawl);
    EXPECT_EQ(NativePath(*crawl), h.native);
  }
}

TEST(DriveList, WritableMountsFromATable) {
  const std::string table =
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "proc /proc proc rw,nosuid 0 0\n"
      "sysfs /sys sysfs rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n"
      "/dev/sdb1 /media/user/USB\\040STICK vfat rw,nosuid 0 0\n"
      "/dev/sdc1 /run/media/user/CARD exfat rw 0 0\n"
      "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
      "/dev/sda2 /home ext4 rw 0 0\n"
      "/dev/sda3 /srv ext4 rw 0 0\n"
      "broken line\n";
  const Strings mounts = WritableMounts(table, [](const std::string& p) { return p != "/srv"; });
  EXPECT_EQ(mounts, (Strings{"/", "/media/user/USB STICK", "/run/media/user/CARD", "/home"}));
}

TEST(DriveList, RootAndHomeComeFirstAndDriveOfFindsTheLongestEntry) {
  const Strings drives = DriveList("/home/someone");
  ASSERT_GE(drives.size(), 2u);
  EXPECT_EQ(drives[0], "/");
  EXPECT_EQ(drives[1], "/home/someone");
  const Strings d{"/", "/home/u", "/media/u/USB"};
  EXPECT_EQ(DriveOf(d, "/home/u/pics"), "/home/u");
  EXPECT_EQ(DriveOf(d, "/home/user2"), "/");
  EXPECT_EQ(DriveOf(d, "/media/u/USB"), "/media/u/USB");
}

TEST(DirectoryReader, ListsSubdirectoriesOnlySortedInSlices) {
  TempDir tmp;
  for (const char* d : {"b", "a", "表", ".hidden"}) ::mkdir(tmp.File(d).c_str(), 0777);
  WriteFileBytes(tmp.File("file.txt"), "");
  ::symlink(tmp.File("a").c_str(), tmp.File("link").c_str());
  TDirectoryReader r(tmp.path());
  int steps = 0;
  while (!r.Step(1)) ++steps;
  EXPECT_GE(steps, 6);  // one entry per step
  EXPECT_EQ(r.TakeSorted(), (Strings{"a", "b", "link", "表"}));
  TDirectoryReader missing(tmp.File("none"));
  EXPECT_FALSE(missing.Opened());
  EXPECT_TRUE(missing.Step());
}

class DirectoryChange : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir(tmp.File("save").c_str(), 0777);
    ::mkdir(tmp.File("start").c_str(), 0777);
  }
  TDirectoryChangeModel Make() {
    TDirectoryChangeModel m(form, dialogs, Utf8ToCp932(tmp.File("start")));
    m.ChangeCurrentDirectory = [this](const std::string& d) { cwdChanges.push_back(d); };
    return m;
  }
  TempDir tmp;
  TFormModel form;
  RecordingDialogs dialogs;
  Strings cwdChanges;
};

TEST_F(DirectoryChange, PresetToTheSaveDirectoryWhenItExistsElseTheStartDirectory) {
  form.DirectoryEdit.Text = Utf8ToCp932(tmp.File("save"));
  EXPECT_EQ(Make().Directory(), tmp.File("save"));
  form.DirectoryEdit.Text = Utf8ToCp932(tmp.File("missing"));
  EXPECT_EQ(Make().Directory(), tmp.File("start"));
}

TEST_F(DirectoryChange, OkWithoutTouchingWritesThePresetBack) {
  form.DirectoryEdit.Text = Utf8ToCp932(tmp.File("save") + "/");
  TDirectoryChangeModel m = Make();
  m.OKButtonClick();
  EXPECT_EQ(m.Result, ModalResult::mrOk);
  EXPECT_EQ(form.DirectoryEdit.Text, tmp.File("save"));
}

TEST_F(DirectoryChange, CancelChangesNothing) {
  form.DirectoryEdit.Text = "typed";
  TDirectoryChangeModel m = Make();
  m.SetDirectory(tmp.File("save"));
  m.CancelButtonClick();
  EXPECT_EQ(m.Result, ModalResult::mrCancel);
  EXPECT_EQ(form.DirectoryEdit.Text, "typed");
}

TEST_F(DirectoryChange, MovingTheListChangesTheCurrentDirectory) {
  TDirectoryChangeModel m = Make();
  m.SetDirectory(tmp.File("save") + "/");
  EXPECT_EQ(cwdChanges, Strings{tmp.File("save")});
}

TEST_F(DirectoryChange, ShiftJisNamesWithA5CTrailByteReachTheCrawlUnchanged) {
  for (const char* name : {"表", "ソ", "能"}) {
    const std::string dir = tmp.File(name);
    ASSERT_EQ(::mkdir(dir.c_str(), 0777), 0);
    TDirectoryChangeModel m = Make();
    m.SetDirectory(dir);
    m.OKButtonClick();
    EXPECT_EQ(m.Result, ModalResult::mrOk);
    EXPECT_EQ(form.DirectoryEdit.Text, Utf8ToCp932(dir));
    EXPECT_TRUE(DirectoryExists(form.DirectoryEdit.Text)) << name;
    // A file written the crawl's way lands inside the chosen directory.
    ASSERT_TRUE(WriteWholeFile(form.DirectoryEdit.Text + "\\x.jpg", "data"));
    EXPECT_EQ(ReadFileBytes(dir + "/x.jpg"), "data") << name;
  }
}

TEST_F(DirectoryChange, AUtf8NameShiftJisCannotSpellIsRefusedNotReplaced) {
  const std::string dir = tmp.File("caf\xC3\xA9");
  ASSERT_EQ(::mkdir(dir.c_str(), 0777), 0);
  ::mkdir(tmp.File("caf?").c_str(), 0777);  // where a lossy conversion would lead
  form.DirectoryEdit.Text = "before";
  TDirectoryChangeModel m = Make();
  m.SetDirectory(dir);
  m.OKButtonClick();
  EXPECT_EQ(m.Result, ModalResult::mrNone);  // the dialog stays open
  EXPECT_EQ(form.DirectoryEdit.Text, "before");
  ASSERT_EQ(BoxTexts(dialogs).size(), 1u);
  EXPECT_NE(BoxTexts(dialogs)[0].find("Shift-JIS"), std::string::npos);
  // A Japanese UTF-8 name is handed over.
  const std::string jp = tmp.File("画像");
  ASSERT_EQ(::mkdir(jp.c_str(), 0777), 0);
  m.SetDirectory(jp);
  m.OKButtonClick();
  EXPECT_EQ(m.Result, ModalResult::mrOk);
  EXPECT_EQ(NativePath(form.DirectoryEdit.Text), jp);
}

}  // namespace
}  // namespace toravin::test
