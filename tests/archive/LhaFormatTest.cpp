// The building blocks of the LHA plug-in on their own: the CRC-16 against its published check
// value, the length limit of the Huffman codes on skewed frequencies, the level-2 header's
// fields read back by our own reader, and the compressor handing its output over in pieces.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "Crc16.h"
#include "HuffmanCode.h"
#include "Lh5Encoder.h"
#include "LhaHeader.h"
#include "support/TempDir.h"

namespace toravin::lha {
namespace {

TEST(Crc16Test, CheckValues) {
  EXPECT_EQ(Crc16::Of("123456789", 9), 0xBB3D);
  EXPECT_EQ(Crc16::Of("", 0), 0);
  Crc16 c;
  c.Update("1234", 4);
  c.Update("56789", 5);
  EXPECT_EQ(c.value(), 0xBB3D);
}

double KraftSum(const HuffmanCode& hc) {
  double sum = 0;
  for (auto len : hc.lengths) {
    if (len != 0) sum += 1.0 / static_cast<double>(1u << len);
  }
  return sum;
}

TEST(HuffmanCodeTest, LengthsStayWithinTheLimitAndFormACompleteCode) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> freq;
  };
  std::vector<std::uint32_t> fib(40);
  fib[0] = fib[1] = 1;
  for (std::size_t i = 2; i < fib.size(); ++i) fib[i] = fib[i - 1] + fib[i - 2];
  std::vector<std::uint32_t> flat(510, 7);
  std::vector<std::uint32_t> sparse(510, 0);
  sparse[3] = 1000;
  sparse[300] = 1;
  sparse[509] = 1;
  const Case cases[] = {{"fibonacci", fib}, {"flat", flat}, {"sparse", sparse}};
  for (const Case& c : cases) {
    HuffmanCode hc = HuffmanCode::Build(c.freq);
    for (auto len : hc.lengths) EXPECT_LE(len, kMaxCodeLength) << c.what;
    EXPECT_DOUBLE_EQ(KraftSum(hc), 1.0) << c.what;
    // Prefix-free: no code is the start of a longer one.
    for (std::size_t a = 0; a < hc.lengths.size(); ++a) {
      for (std::size_t b = 0; b < hc.lengths.size(); ++b) {
        if (a == b || hc.lengths[a] == 0 || hc.lengths[b] < hc.lengths[a]) continue;
        EXPECT_NE(hc.codes[b] >> (hc.lengths[b] - hc.lengths[a]), hc.codes[a]) << c.what;
      }
    }
  }
}

TEST(HuffmanCodeTest, OneOrNoSymbol) {
  std::vector<std::uint32_t> freq(14, 0);
  EXPECT_EQ(HuffmanCode::Build(freq).used, 0);
  freq[5] = 9;
  HuffmanCode hc = HuffmanCode::Build(freq);
  EXPECT_EQ(hc.used, 1);
  EXPECT_EQ(hc.onlySymbol, 5);
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

TEST(LhaHeaderTest, Level2HeaderReadsBack) {
  NewEntry e;
  e.method = "-lh5-";
  e.packedSize = 1234;
  e.originalSize = 5678;
  e.unixTime = 0x5F000000;
  e.crc = 0xBEEF;
  e.folder = "pics";
  e.name = "photo.jpg";
  std::string h = BuildLevel2Header(e);
  EXPECT_EQ(static_cast<unsigned char>(h[0]) | (static_cast<unsigned char>(h[1]) << 8), h.size());
  EXPECT_EQ(h.substr(2, 5), "-lh5-");
  EXPECT_EQ(h[20], 2);
  EXPECT_EQ(h[23], kOsId);
  // The header CRC: computed over the header with its own field zeroed.
  std::string zeroed = h;
  zeroed[27] = zeroed[28] = 0;
  std::uint16_t crc = static_cast<unsigned char>(h[27]) | (static_cast<unsigned char>(h[28]) << 8);
  EXPECT_EQ(crc, Crc16::Of(zeroed.data(), zeroed.size()));

  test::TempDir dir;
  std::string file = dir.File("a.lzh");
  test::WriteFileBytes(file, h + std::string(1234, 'd') + std::string(1, '\0'));
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(file.c_str(), "rb"));
  EntryInfo info;
  ASSERT_EQ(ReadEntryHeader(f.get(), 0, h.size() + 1235, info), ReadStatus::kEntry);
  EXPECT_EQ(info.Path(), "pics\\photo.jpg");
  EXPECT_EQ(info.packedSize, 1234u);
  EXPECT_EQ(info.originalSize, 5678u);
  EXPECT_EQ(info.crc, 0xBEEF);
  EXPECT_EQ(info.dataOffset, h.size());
  EXPECT_EQ(ReadEntryHeader(f.get(), h.size() + 1234, h.size() + 1235, info), ReadStatus::kEnd);
  // Every cut of the file before the end of the data is damaged, never an entry.
  for (std::size_t size = 1; size < h.size() + 1234; size += 7) {
    EXPECT_NE(ReadEntryHeader(f.get(), 0, size, info), ReadStatus::kEntry) << size;
  }
}

// Output handed over in small pieces as it is made is byte for byte the output handed over in
// one piece, and the compressor gives up on data that does not get smaller, or when a piece
// cannot be written.
TEST(Lh5EncoderTest, OutputInPiecesIsTheSameAsWhole) {
  const std::string cases[] = {"",
                               "A",
                               "abababababababababababababababab",
                               test::HtmlLikeData(300000, 2),
                               std::string(100000, 'z') + test::RandomData(50000, 3),
                               test::RandomData(200000, 1)};
  auto encode = [](const std::string& data, std::size_t piece, int& calls, std::string& out) {
    return EncodeLh5To(
        reinterpret_cast<const unsigned char*>(data.data()), data.size(),
        [&](std::string_view bytes) {
          out.append(bytes);
          ++calls;
          return true;
        },
        data.size(), piece);
  };
  for (const std::string& data : cases) {
    SCOPED_TRACE(data.size());
    std::string whole, pieces;
    int wholeCalls = 0, calls = 0;
    const bool packed = encode(data, SIZE_MAX, wholeCalls, whole);
    EXPECT_EQ(encode(data, 1000, calls, pieces), packed);
    if (packed) {
      EXPECT_EQ(pieces, whole);
      EXPECT_LE(wholeCalls, 1);
      if (whole.size() > 3000) {
        EXPECT_GE(calls, 2);
      }
    }
  }
  int calls = 0;
  std::string out;
  EXPECT_FALSE(encode(test::RandomData(200000, 1), 1000, calls, out));  // nothing to gain
  const std::string page = test::HtmlLikeData(300000, 4);
  EXPECT_FALSE(EncodeLh5To(
      reinterpret_cast<const unsigned char*>(page.data()), page.size(),
      [](std::string_view) { return false; }, page.size(), 1000));
}

}  // namespace
}  // namespace toravin::lha
