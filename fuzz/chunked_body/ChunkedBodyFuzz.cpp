// Fuzzes the chunked decoder. The first byte picks the piece size the body arrives in; the rest is
// the coded body. Decoded in place in pieces, decoded whole into a buffer of its own and only
// counted, it must give the same bytes read, the same data and the same end; the data is never
// longer than what was read, and once the body is done nothing more is read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/ChunkedDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 97;
  const std::string coded(reinterpret_cast<const char*>(data + 1), size - 1);

  toravin::TChunkedDecoder inPieces;
  std::string decoded;
  std::size_t used = 0;
  for (std::size_t at = 0; at < coded.size(); at += piece) {
    std::string part = coded.substr(at, piece);
    std::size_t produced = 0;
    const std::size_t n = inPieces.Feed(part.data(), part.size(), part.data(), produced);
    if (n > part.size() || produced > n) std::abort();
    decoded.append(part, 0, produced);
    used += n;
    if ((inPieces.Done() || inPieces.Failed()) && at + n < coded.size()) {
      std::size_t more = 0;
      if (inPieces.Feed(coded.data() + at + n, coded.size() - at - n, nullptr, more) != 0) {
        std::abort();
      }
      break;
    }
  }

  toravin::TChunkedDecoder whole;
  std::string out(coded.size(), '\0');
  std::size_t produced = 0;
  const std::size_t n = whole.Feed(coded.data(), coded.size(), out.data(), produced);
  out.resize(produced);

  toravin::TChunkedDecoder counted;
  std::size_t countedData = 0;
  const std::size_t c = counted.Feed(coded.data(), coded.size(), nullptr, countedData);

  if (n != used || c != used || out != decoded || countedData != decoded.size()) std::abort();
  if (whole.Done() != inPieces.Done() || whole.Failed() != inPieces.Failed()) std::abort();
  if (whole.Done() && whole.Failed()) std::abort();
  return 0;
}
