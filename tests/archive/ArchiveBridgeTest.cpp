// The bridge's conformance suite: the same calls against the real plug-ins, against a missing
// library, against stubs that each lack one entry point, and against a stub that stays busy.
// Expectations are the answers the crawl relies on: fallbacks of a missing library or entry
// point, the busy wait's outcome, the messages, and what reaches the library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/Archive.h"
#include "archive/ArchiveMessages.h"
#include "archive/ArchiverAbi.h"
#include "archive/WaitWhileBusy.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "platform/RecordingDialogs.h"
#include "platform/Timings.h"

namespace toravin {
namespace {

using test::PluginFolder;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// The 30000 ms archiver wait, shortened for the tests.
Timings ShortTimings() {
  Timings t = Timings::NoPauses();
  t.archiverWaitMs = 30;
  return t;
}

std::string StubLog(TArchiverLibrary& lib) {
  using LogFn = const char* (*)();
  auto fn = lib.Function<LogFn>("StubLog");
  return fn == nullptr ? std::string() : std::string(fn());
}

// A stub's log lives as long as the stub stays mapped, which may outlast one test.
void ClearStubLog(TArchiverLibrary& lib) {
  using ClearFn = void (*)();
  if (auto fn = lib.Function<ClearFn>("StubClearLog")) fn();
}

// ---- Names and command lines --------------------------------------------------------------

TEST(ArchiveNames, SharedObjectNamesFollowTheLibraryNames) {
  EXPECT_EQ(SharedObjectName("LHAPACK.DLL"), "liblhapack.so");
  EXPECT_EQ(SharedObjectName("GzDec.DLL"), "libgzdec.so");
}

TEST(ArchiveNames, ArchivePathAndFolder) {
  struct Case {
    const char* dir;
    const char* name;
    const char* path;
    const char* folder;
  };
  const Case cases[] = {
      {"C:\\save", "pics", "C:\\save\\pics.lzh", "pics"},
      {"C:\\save\\", "pics.zip", "C:\\save\\pics.lzh", "pics"},
      {"/tmp/x", "a.b.lzh", "/tmp/x\\a.b.lzh", "a.b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TArchive::ArchivePath(c.dir, c.name), c.path) << c.name;
    EXPECT_EQ(TArchive::ArchiveFolder(c.name), c.folder) << c.name;
  }
}

TEST(ArchiveNames, PackCommandLine) {
  EXPECT_EQ(TArchive::PackCommandLine("C:\\save\\pics.lzh", "pics", "photo(1).jpg"),
            "-d -gd -jm3 \"C:\\save\\pics.lzh\" \"pics\\photo(1).jpg\"");
}

TEST(ArchiveMessagesTest, TextsAreTheProgramsTexts) {
  EXPECT_EQ(LhaPackMissingText(), test::Sj("ＬＨＡＰＡＣＫ．ＤＬＬを見つけられません。"));
  EXPECT_EQ(GzDecBusyText(), test::Sj("GZDEC.DLLがBusyで使えませんでした。"));
  EXPECT_EQ(
      GzDecFailedText(0x8006),
      test::Sj("GZDEC.DLLによるHTMLファイルの伸張に失敗しました。（エラーコード：0x00008006）"));
  EXPECT_EQ(
      GzDecFailedText(-1),
      test::Sj("GZDEC.DLLによるHTMLファイルの伸張に失敗しました。（エラーコード：0xFFFFFFFF）"));
}

// ---- WaitWhileBusy ------------------------------------------------------------------------

TEST(WaitWhileBusyTest, ReturnsAtOnceWhenFree) {
  int polls = 0;
  EXPECT_TRUE(WaitWhileBusy([&] { return ++polls < 0; }, 0));
  EXPECT_EQ(polls, 1);
}

TEST(WaitWhileBusyTest, PumpsMessagesBetweenPollsUntilFree) {
  int pumped = 0;
  MessagePumpFn old = SetMessagePump([&] { ++pumped; });
  int polls = 0;
  EXPECT_TRUE(WaitWhileBusy([&] { return ++polls < 5; }, 60000));
  SetMessagePump(std::move(old));
  EXPECT_EQ(polls, 5);
  EXPECT_EQ(pumped, 4);
}

TEST(WaitWhileBusyTest, GivesUpAfterTheLimit) {
  int pumped = 0;
  MessagePumpFn old = SetMessagePump([&] { ++pumped; });
  EXPECT_FALSE(WaitWhileBusy([] { return true; }, ShortTimings().archiverWaitMs));
  SetMessagePump(std::move(old));
  EXPECT_GT(pumped, 0);
}

// ---- The conformance suite ----------------------------------------------------------------

// One implementation under test: which files stand in for the two libraries.
struct Implementation {
  const char* name;
  const char* lhaFile;  // "" = missing library
  const char* gzFile;
};

const Implementation kImplementations[] = {
    {"Real", "liblhapack.so", "libgzdec.so"},
    {"MissingLibrary", "", ""},
    {"Busy", "libtoravin_stub_busy.so", "libtoravin_stub_busy.so"},
    {"Stub", "libtoravin_stub_free.so", "libtoravin_stub_free.so"},
    {"NoLhaPackGetRunning", "libtoravin_stub_no_LhaPackGetRunning.so", ""},
    {"NoLhaPackOpenArchive", "libtoravin_stub_no_LhaPackOpenArchive.so", ""},
    {"NoLhaPackFindFirst", "libtoravin_stub_no_LhaPackFindFirst.so", ""},
    {"NoLhaPackCloseArchive", "libtoravin_stub_no_LhaPackCloseArchive.so", ""},
    {"NoLhaPackCompressMem", "libtoravin_stub_no_LhaPackCompressMem.so", ""},
    {"NoGzDecGetRunning", "", "libtoravin_stub_no_GzDecGetRunning.so"},
    {"NoGzDec", "", "libtoravin_stub_no_GzDec.so"},
};

class ArchiveConformance : public ::testing::TestWithParam<Implementation> {
 protected:
  ArchiveConformance()
      : m_plugins(GetParam().lhaFile, GetParam().gzFile), m_archive(m_plugins.Search()) {}

  std::string Name() const { return GetParam().name; }
  bool Is(const char* n) const { return Name() == n; }
  bool HasLha() const { return *GetParam().lhaFile != '\0'; }
  bool HasGz() const { return *GetParam().gzFile != '\0'; }

  PluginFolder m_plugins;
  TArchive m_archive;
  TempDir m_work;
};

TEST_P(ArchiveConformance, LoadingAtRunStartAndReleasingAtRunEnd) {
  EXPECT_EQ(m_archive.BeginPacking(), HasLha());
  EXPECT_EQ(m_archive.LhaPack().Loaded(), HasLha());
  if (HasLha()) {
    EXPECT_EQ(m_archive.LhaPack().Library().LoadedFrom(),
              NativePath(m_plugins.path()) + "/liblhapack.so");
  }
  m_archive.EndPacking();
  EXPECT_FALSE(m_archive.LhaPack().Loaded());
}

TEST_P(ArchiveConformance, BusyChecksAnswerFreeUnlessTheLibrarySaysBusy) {
  m_archive.BeginPacking();
  m_archive.GzDec().Load();
  EXPECT_EQ(m_archive.LhaPack().GetRunning(), Is("Busy"));
  EXPECT_EQ(m_archive.GzDec().GetRunning(), Is("Busy"));
}

TEST_P(ArchiveConformance, EntryPointFallbacks) {
  m_archive.BeginPacking();
  m_archive.GzDec().Load();
  TLhaPack& lha = m_archive.LhaPack();
  const std::string arc = m_work.File("none.lzh");
  abi::ArcHandle h = lha.OpenArchive(arc);
  if (!HasLha() || Is("NoLhaPackOpenArchive") || Is("Real")) {
    EXPECT_EQ(h, 0u);  // the real plug-in: the archive does not exist
  } else {
    EXPECT_EQ(h, 42u);
  }
  int found = lha.FindFirst(42, "x.jpg");
  if (!HasLha() || Is("NoLhaPackFindFirst")) {
    EXPECT_EQ(found, -1);
  } else if (Is("Real")) {
    EXPECT_EQ(found, abi::kArcBadHandle);
  } else {
    EXPECT_EQ(found, 0);
  }
  EXPECT_EQ(lha.CloseArchive(42), Is("Real") ? abi::kArcBadHandle : 0);
  int packed = lha.CompressMem("-d -gd -jm3 \"" + m_work.File("p.lzh") + "\" \"p\\a.txt\"", "abc");
  EXPECT_EQ(packed, !HasLha() || Is("NoLhaPackCompressMem") ? -1 : 0);
  std::string out;
  int rc = m_archive.GzDec().GzDec("xvfG \"" + m_work.File("none.htm") + "\"", &out);
  if (!HasGz() || Is("NoGzDec")) {
    EXPECT_EQ(rc, -1);
  } else if (Is("Real")) {
    EXPECT_EQ(rc, abi::kArcCannotOpen);
    EXPECT_FALSE(out.empty());
  } else {
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, "stub");
  }
}

TEST_P(ArchiveConformance, EntryTestOpensSearchesAndCloses) {
  m_archive.BeginPacking();
  ClearStubLog(m_archive.LhaPack().Library());
  const std::string arc = m_work.File("pics.lzh");
  bool holds = m_archive.ArchiveHolds(arc, "photo.jpg");
  std::string log = StubLog(m_archive.LhaPack().Library());
  if (Is("Stub") || Is("Busy") || Is("NoLhaPackGetRunning") || Is("NoLhaPackCloseArchive") ||
      Is("NoLhaPackCompressMem")) {
    EXPECT_TRUE(holds);
    std::string expected =
        "LhaPackOpenArchive(\"" + arc + "\",08402202);LhaPackFindFirst(42,photo.jpg);";
    if (!Is("NoLhaPackCloseArchive")) expected += "LhaPackCloseArchive(42);";
    EXPECT_EQ(log, expected);
  } else if (Is("NoLhaPackOpenArchive")) {
    // The search and the close still run, with the handle 0 that the fallback gave.
    EXPECT_TRUE(holds);
    EXPECT_EQ(log, "LhaPackFindFirst(0,photo.jpg);LhaPackCloseArchive(0);");
  } else {
    EXPECT_FALSE(holds);
  }
}

TEST_P(ArchiveConformance, PackingABody) {
  const Timings t = ShortTimings();
  m_archive.BeginPacking();
  ClearStubLog(m_archive.LhaPack().Library());
  // No archive exists yet, so no entry test runs; numbering is covered with the real plug-in.
  TArchive::PackResult r =
      m_archive.PackBody(m_work.path(), "pics", "photo.jpg", "JPEGDATA", t.archiverWaitMs);
  EXPECT_EQ(r.archivePath, m_work.path() + "\\pics.lzh");
  std::string log = StubLog(m_archive.LhaPack().Library());
  if (Is("Busy")) {
    EXPECT_EQ(r.status, TArchive::PackStatus::kBusy);
    EXPECT_EQ(log.find("LhaPackCompressMem"), std::string::npos);
  } else if (!HasLha() || Is("NoLhaPackCompressMem")) {
    EXPECT_EQ(r.status, TArchive::PackStatus::kFailed);
    EXPECT_EQ(r.code, -1);
  } else {
    EXPECT_EQ(r.status, TArchive::PackStatus::kPacked);
    EXPECT_EQ(r.entryName, "photo.jpg");
    if (!Is("Real")) {
      EXPECT_NE(log.find("LhaPackCompressMem(-d -gd -jm3 \"" + m_work.path() +
                         "\\pics.lzh\" \"pics\\photo.jpg\",8);"),
                std::string::npos)
          << log;
    }
  }
  if (Is("Real")) {
    EXPECT_TRUE(m_archive.ArchiveHolds(r.archivePath, "photo.jpg"));
    EXPECT_TRUE(m_archive.ArchiveHolds(r.archivePath, "pics\\PHOTO.JPG"));
    EXPECT_FALSE(m_archive.ArchiveHolds(r.archivePath, "other.jpg"));
  }
}

TEST_P(ArchiveConformance, DecodingAPage) {
  const Timings t = ShortTimings();
  const std::string html = "<!DOCTYPE html><HTML><a href=\"x.jpg\">x</a></HTML>\n";
  const std::string path = m_work.File("index.html");
  if (Is("Real")) {
    WriteFileBytes(path + ".src", html);
    ASSERT_EQ(test::RunShell("gzip -c " + test::ShellQuote(path + ".src") + " > " +
                             test::ShellQuote(path))
                  .status,
              0);
  } else {
    WriteFileBytes(path, "gzipped bytes");
  }
  RecordingDialogs dialogs;
  TArchive::DecodeResult r = m_archive.DecodeFile(path, t.archiverWaitMs);
  TArchive::ReportDecodeFailure(r, dialogs);
  EXPECT_FALSE(m_archive.GzDec().Loaded());  // released after every decode
  EXPECT_TRUE(FileExists(path));             // the caller's file stays
  EXPECT_FALSE(FileExists(path + "_extracted"));
  using S = TArchive::DecodeStatus;
  if (!HasGz()) {
    EXPECT_EQ(r.status, S::kMissing);
    EXPECT_EQ(dialogs.records().size(), 2u);
    EXPECT_EQ(dialogs.records()[0].call, RecordingDialogs::Call::Beep);
    EXPECT_EQ(dialogs.BoxTexts(), std::vector<std::string>{GzDecMissingText()});
  } else if (Is("Busy")) {
    EXPECT_EQ(r.status, S::kBusy);
    ASSERT_EQ(dialogs.records().size(), 1u);  // no beep for the busy box
    EXPECT_EQ(dialogs.BoxTexts(), std::vector<std::string>{GzDecBusyText()});
  } else if (Is("NoGzDec")) {
    EXPECT_EQ(r.status, S::kFailed);
    EXPECT_EQ(r.code, -1);
    EXPECT_EQ(dialogs.BoxTexts(), std::vector<std::string>{GzDecFailedText(-1)});
  } else {
    EXPECT_EQ(r.status, S::kDecoded);
    EXPECT_EQ(r.page, Is("Real") ? html : std::string("<HTML>stub page</HTML>"));
    EXPECT_TRUE(dialogs.records().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Plugins, ArchiveConformance, ::testing::ValuesIn(kImplementations),
                         [](const auto& p) { return std::string(p.param.name); });

// ---- The real plug-ins through the bridge -------------------------------------------------

class RealPlugins : public ::testing::Test {
 protected:
  RealPlugins() : m_plugins("liblhapack.so", "libgzdec.so"), m_archive(m_plugins.Search()) {}
  PluginFolder m_plugins;
  TArchive m_archive;
  TempDir m_work;
};

TEST_F(RealPlugins, SecondFileOfTheSameNameIsNumbered) {
  ASSERT_TRUE(m_archive.BeginPacking());
  const int wait = ShortTimings().archiverWaitMs;
  std::vector<std::string> names;
  for (const char* body : {"one", "two", "three"}) {
    auto r = m_archive.PackBody(m_work.path(), "pics", "photo.jpg", body, wait);
    ASSERT_EQ(r.status, TArchive::PackStatus::kPacked);
    names.push_back(r.entryName);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"photo.jpg", "photo(1).jpg", "photo(2).jpg"}));
  auto r = m_archive.PackBody(m_work.path(), "pics", "README", "x", wait);
  EXPECT_EQ(r.entryName, "README");
  r = m_archive.PackBody(m_work.path(), "pics", "README", "y", wait);
  EXPECT_EQ(r.entryName, "README(1)");
}

TEST_F(RealPlugins, RefusedPackIsReportedSoTheBodyCanBeSavedUnpacked) {
  ASSERT_TRUE(m_archive.BeginPacking());
  // The save directory does not exist: the library cannot create the archive.
  auto r = m_archive.PackBody(m_work.File("missing-dir"), "pics", "a.jpg", "data",
                              ShortTimings().archiverWaitMs);
  EXPECT_EQ(r.status, TArchive::PackStatus::kFailed);
  EXPECT_EQ(r.code, abi::kArcCannotCreate);
}

TEST_F(RealPlugins, CorruptPageReportsTheLibrarysCode) {
  const std::string path = m_work.File("bad.htm");
  WriteFileBytes(path, std::string("\x1f\x8b\x08\x00garbage-garbage-garbage", 27));
  RecordingDialogs dialogs;
  auto r = m_archive.DecodeFile(path, ShortTimings().archiverWaitMs);
  TArchive::ReportDecodeFailure(r, dialogs);
  EXPECT_EQ(r.status, TArchive::DecodeStatus::kFailed);
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(dialogs.BoxTexts(), std::vector<std::string>{GzDecFailedText(r.code)});
  EXPECT_EQ(dialogs.records()[0].call, RecordingDialogs::Call::Beep);
  EXPECT_FALSE(FileExists(path + "_extracted"));
}

TEST_F(RealPlugins, ReleaseAllUnloadsBoth) {
  ASSERT_TRUE(m_archive.BeginPacking());
  ASSERT_TRUE(m_archive.GzDec().Load());
  m_archive.ReleaseAll();
  EXPECT_FALSE(m_archive.LhaPack().Loaded());
  EXPECT_FALSE(m_archive.GzDec().Loaded());
}

TEST(DefaultSearch, FindsThePlugInsBesideTheExecutable) {
  TArchive archive;
  ASSERT_TRUE(archive.BeginPacking());
  EXPECT_EQ(archive.LhaPack().Library().LoadedFrom(),
            NativePath(test::BinDir()) + "/liblhapack.so");
}

}  // namespace
}  // namespace toravin
