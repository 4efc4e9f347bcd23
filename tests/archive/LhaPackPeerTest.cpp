// Archives written by our LHA plug-in, checked with a real peer: Debian's lhasa must list
// ("lha t") and extract ("lha x") every entry byte for byte. The entries go in through the
// bridge's packing step, one call per body, exactly as the crawl packs its files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/Archive.h"
#include "archive/ArchiverAbi.h"
#include "platform/FileSystem.h"

namespace toravin {
namespace {

using test::HtmlLikeData;
using test::RandomData;
using test::ReadFileBytes;
using test::RunShell;
using test::ShellQuote;
using test::Sj;
using test::TempDir;

constexpr int kWaitMs = 30;

class LhaPeer : public ::testing::Test {
 protected:
  LhaPeer() : m_plugins("liblhapack.so", ""), m_archive(m_plugins.Search()) {
    EXPECT_TRUE(m_archive.BeginPacking());
  }

  std::string ArchiveFile() const { return m_work.File("pics.lzh"); }

  void Pack(const std::string& name, const std::string& body) {
    auto r = m_archive.PackBody(m_work.path(), "pics", name, body, kWaitMs);
    ASSERT_EQ(r.status, TArchive::PackStatus::kPacked) << r.code;
    ASSERT_EQ(r.entryName, name);
  }

  // lha t must pass; lha x must give exactly `files` (CP932 names) under pics/.
  void ExpectPeerExtracts(const std::vector<std::pair<std::string, std::string>>& files) {
    CommandResult t = RunShell("lha t " + ShellQuote(ArchiveFile()));
    EXPECT_EQ(t.status, 0) << t.output;
    EXPECT_EQ(t.output.find("rror"), std::string::npos) << t.output;
    const std::string out = m_work.File("out");
    ASSERT_TRUE(ForceDirectories(out));
    CommandResult x = RunShell("cd " + ShellQuote(out) + " && lha xq " + ShellQuote(ArchiveFile()));
    ASSERT_EQ(x.status, 0) << x.output;
    for (const auto& [name, body] : files) {
      // lhasa writes names as stored, so the file name on disk is the CP932 bytes.
      std::string onDisk = out + "/pics/" + name;
      EXPECT_EQ(ReadFileBytes(onDisk), body) << "entry " << name;
    }
    CommandResult count = RunShell("find " + ShellQuote(out) + " -type f | wc -l");
    EXPECT_EQ(std::stoul(count.output), files.size());
  }

  using CommandResult = test::CommandResult;
  test::PluginFolder m_plugins;
  TArchive m_archive;
  TempDir m_work;
};

TEST_F(LhaPeer, TableOfBodies) {
  struct Case {
    const char* name;
    std::string body;
    const char* method;
  };
  const std::vector<Case> cases = {
      {"empty.jpg", "", "-lh0-"},
      {"one.jpg", "A", "-lh0-"},
      {"random.jpg", RandomData(200000, 1), "-lh0-"},
      {"page.htm", HtmlLikeData(300000, 2), "-lh5-"},
      {"runs.gif", std::string(100000, 'z') + std::string(100000, '\0'), "-lh5-"},
      {"two.gif", "abababababababababababababababab", "-lh5-"},
      {"mixed.zip", HtmlLikeData(50000, 3) + RandomData(50000, 4) + HtmlLikeData(50000, 5),
       "-lh5-"},
  };
  std::vector<std::pair<std::string, std::string>> files;
  for (const Case& c : cases) {
    Pack(c.name, c.body);
    files.emplace_back(c.name, c.body);
  }
  ExpectPeerExtracts(files);
  CommandResult v = RunShell("lha v " + ShellQuote(ArchiveFile()));
  for (const Case& c : cases) {
    std::size_t at = v.output.find(std::string("pics/") + c.name);
    ASSERT_NE(at, std::string::npos) << v.output;
    std::size_t lineStart = v.output.rfind('\n', at);
    EXPECT_NE(v.output.substr(lineStart, at - lineStart).find(c.method), std::string::npos)
        << c.name << "\n"
        << v.output;
  }
}

TEST_F(LhaPeer, JapaneseNames) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {Sj("写真.jpg"), HtmlLikeData(1000, 6)},
      {Sj("表示ソフト.gif"), "GIF89a"},  // 表 and ソ have "\" as trail byte
      {Sj("ﾊﾝｶｸ.zip"), RandomData(500, 7)},
  };
  for (const auto& [name, body] : files) Pack(name, body);
  ExpectPeerExtracts(files);
  EXPECT_TRUE(m_archive.ArchiveHolds(ArchiveFile(), Sj("表示ソフト.gif")));
  EXPECT_FALSE(m_archive.ArchiveHolds(ArchiveFile(), Sj("表示ソフト.jpg")));
}

TEST_F(LhaPeer, HeaderSizeWithAZeroLowByteIsPadded) {
  // 47 bytes of header around a 209-byte name would make a header of exactly 256 bytes.
  const std::string name = std::string(205, 'n') + ".jpg";
  Pack(name, "padded");
  std::string bytes = ReadFileBytes(ArchiveFile());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 1u);  // 257 = 0x0101
  EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 1u);
  ExpectPeerExtracts({{name, "padded"}});
}

TEST_F(LhaPeer, HundredMegabytes) {
  std::string body =
      HtmlLikeData(60u << 20, 8) + RandomData(20u << 20, 9) + std::string(20u << 20, 'q');
  ASSERT_EQ(body.size(), 100u << 20);
  Pack("big.zip", body);
  ExpectPeerExtracts({{"big.zip", body}});
}

TEST_F(LhaPeer, ThousandEntriesAppendedOneByOneKeepEarlierBytes) {
  std::vector<std::pair<std::string, std::string>> files;
  std::string before;
  for (int i = 0; i < 1000; ++i) {
    std::string name = "f" + std::to_string(i) + ".jpg";
    std::string body = HtmlLikeData(200 + (i * 37) % 3000, 100 + i);
    Pack(name, body);
    files.emplace_back(name, body);
    if (i == 499) before = ReadFileBytes(ArchiveFile());
  }
  std::string after = ReadFileBytes(ArchiveFile());
  // Entries are never rewritten: the old archive, less its closing byte, is a prefix.
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(after.compare(0, before.size() - 1, before, 0, before.size() - 1), 0);
  EXPECT_EQ(after.back(), '\0');
  ExpectPeerExtracts(files);
}

TEST_F(LhaPeer, DamagedArchiveIsLeftAlone) {
  Pack("a.jpg", "first");
  std::string bytes = ReadFileBytes(ArchiveFile());
  bytes[7] = '\x7f';  // packed size now runs past the end of the file
  test::WriteFileBytes(ArchiveFile(), bytes);
  auto r = m_archive.PackBody(m_work.path(), "pics", "b.jpg", "second", kWaitMs);
  EXPECT_EQ(r.status, TArchive::PackStatus::kFailed);
  EXPECT_EQ(r.code, abi::kArcDamaged);
  EXPECT_EQ(ReadFileBytes(ArchiveFile()), bytes);
}

TEST_F(LhaPeer, CommandLinesThePlugInRefuses) {
  const std::string arc = "\"" + ArchiveFile() + "\"";
  const char* const lines[] = {
      "",                               // nothing
      "-d -gd -jm3",                    // no archive
      "-d -gd -jm3 \"a.lzh\"",          // no entry
      "-d -x -jm3 \"a.lzh\" \"p\\a\"",  // unknown switch
      "-d -gd -jm3 \"a.lzh\" \"p\\a",   // quote not closed
      "-d -gd -jm3 \"a.lzh\" \"p\\\"",  // empty file name
  };
  for (const char* line : lines) {
    EXPECT_EQ(m_archive.LhaPack().CompressMem(line, "x"), abi::kArcCommandLine) << line;
  }
  EXPECT_FALSE(FileExists(ArchiveFile()));
  // -jm0 stores without compression.
  ASSERT_EQ(
      m_archive.LhaPack().CompressMem("-jm0 " + arc + " \"pics\\s.htm\"", std::string(1000, 'a')),
      0);
  EXPECT_NE(RunShell("lha v " + ShellQuote(ArchiveFile())).output.find("-lh0-"), std::string::npos);
}

}  // namespace
}  // namespace toravin
