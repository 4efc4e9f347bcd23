// The gzip plug-in against inputs made by a real peer: gzip at several levels, two members in
// one file, truncated files; zlib and raw deflate streams made with zlib; and the output limit
// that stops a decompression bomb. Each decode is checked on disk: the "_extracted" file holds
// exactly the original bytes, or does not exist at all after a failure.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "ArchiveTestSupport.h"
#include "archive/ArchiverAbi.h"
#include "archive/GzDec.h"
#include "platform/FileSystem.h"

namespace toravin {
namespace {

using test::HtmlLikeData;
using test::RandomData;
using test::ReadFileBytes;
using test::RunShell;
using test::ShellQuote;
using test::TempDir;
using test::WriteFileBytes;

class GzDecPeer : public ::testing::Test {
 protected:
  GzDecPeer() : m_plugins("", "libgzdec.so"), m_gz(m_plugins.Search()) { EXPECT_TRUE(m_gz.Load()); }

  // gzip `options` of `data`, as the file's bytes.
  std::string Gzip(const std::string& data, const std::string& options) {
    std::string src = m_work.File("src.bin");
    WriteFileBytes(src, data);
    std::string dst = m_work.File("src.gz");
    CommandResult r =
        RunShell("gzip -c " + options + " " + ShellQuote(src) + " > " + ShellQuote(dst));
    EXPECT_EQ(r.status, 0) << r.output;
    return ReadFileBytes(dst);
  }

  static std::string Deflate(const std::string& data, int windowBits) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
  }

  // Decodes `encoded` saved as page.htm; returns the library's result.
  int Decode(const std::string& encoded, std::string* message = nullptr) {
    WriteFileBytes(Page(), encoded);
    return m_gz.GzDec("xvfG " + ("\"" + Page() + "\""), message);
  }
  std::string Page() const { return m_work.File("page.htm"); }
  std::string Extracted() const { return Page() + "_extracted"; }

  using CommandResult = test::CommandResult;
  test::PluginFolder m_plugins;
  TGzDec m_gz;
  TempDir m_work;
};

TEST_F(GzDecPeer, DecodesWhatGzipWrites) {
  const std::string html = HtmlLikeData(400000, 11);
  struct Case {
    const char* what;
    std::string encoded;
    std::string decoded;
  };
  const std::string random = RandomData(70000, 12);
  const std::vector<Case> cases = {
      {"gzip", Gzip(html, ""), html},
      {"gzip -9", Gzip(html, "-9"), html},
      {"gzip -1", Gzip(html, "-1"), html},
      {"gzip -n, random", Gzip(random, "-n"), random},
      {"empty file", Gzip("", ""), ""},
      {"two members", Gzip(html, "") + Gzip("second member\n", "-9"), html + "second member\n"},
      {"member and zero padding", Gzip(html, "") + std::string(512, '\0'), html},
      {"zlib stream", Deflate(html, 15), html},
      {"raw deflate", Deflate(html, -15), html},
  };
  for (const Case& c : cases) {
    std::string message;
    EXPECT_EQ(Decode(c.encoded, &message), 0) << c.what << ": " << message;
    EXPECT_EQ(ReadFileBytes(Extracted()), c.decoded) << c.what;
    EXPECT_FALSE(message.empty());
    DeleteFileAt(Extracted());
  }
}

TEST_F(GzDecPeer, TruncatedInputFailsAndLeavesNothing) {
  const std::string gz = Gzip(HtmlLikeData(100000, 13), "");
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{10},
                          gz.size() / 2, gz.size() - 9, gz.size() - 1}) {
    int rc = Decode(gz.substr(0, cut));
    EXPECT_NE(rc, 0) << "cut at " << cut;
    EXPECT_TRUE(rc == abi::kArcTruncated || rc == abi::kArcCorrupt) << rc;
    EXPECT_FALSE(FileExists(Extracted())) << "cut at " << cut;
  }
}

TEST_F(GzDecPeer, CorruptInputFails) {
  std::string gz = Gzip(HtmlLikeData(100000, 14), "");
  gz[gz.size() - 6] ^= 0x55;  // the CRC no longer matches
  EXPECT_EQ(Decode(gz), abi::kArcCorrupt);
  EXPECT_FALSE(FileExists(Extracted()));
  EXPECT_NE(Decode("plain text, not compressed at all"), 0);
}

TEST_F(GzDecPeer, OutputLimitStopsABomb) {
  auto setLimit = m_gz.Library().Function<abi::GzDecSetOutputLimitFn>(abi::kGzDecSetOutputLimit);
  ASSERT_NE(setLimit, nullptr);
  setLimit(1 << 20);
  const std::string bomb = Gzip(std::string(4 << 20, '\0'), "-9");
  EXPECT_LT(bomb.size(), 10000u);
  std::string message;
  EXPECT_EQ(Decode(bomb, &message), abi::kArcTooLarge);
  EXPECT_NE(message.find("limit"), std::string::npos);
  EXPECT_FALSE(FileExists(Extracted()));
  EXPECT_EQ(Decode(Gzip(std::string(1 << 20, 'a'), "")), 0);  // exactly the limit is fine
  EXPECT_EQ(setLimit(0), 1u << 20);
}

TEST_F(GzDecPeer, CommandLinesTheLibraryRefuses) {
  WriteFileBytes(Page(), Gzip("x", ""));
  const std::string quoted = "\"" + Page() + "\"";
  const std::string lines[] = {"",
                               "xvfG",
                               "vfG " + quoted,
                               "xvfQ " + quoted,
                               "-x " + quoted,
                               "xvfG \"" + Page(),
                               "xvfG " + quoted + " extra"};
  for (const std::string& line : lines) {
    EXPECT_EQ(m_gz.GzDec(line), abi::kArcCommandLine) << line;
  }
  EXPECT_EQ(m_gz.GzDec("xvfG " + quoted), 0);
}

TEST_F(GzDecPeer, MessageFitsTheCallersBuffer) {
  WriteFileBytes(Page(), Gzip("hello", ""));
  auto fn = m_gz.Library().Function<abi::GzDecFn>(abi::kGzDec);
  ASSERT_NE(fn, nullptr);
  char buf[8];
  std::memset(buf, 'X', sizeof buf);
  std::string line = "xvfG \"" + Page() + "\"";
  EXPECT_EQ(fn(nullptr, line.c_str(), buf, sizeof buf), 0);
  EXPECT_EQ(buf[7], '\0');
  EXPECT_EQ(std::string(buf), "gzdec: ");
}

}  // namespace
}  // namespace toravin
