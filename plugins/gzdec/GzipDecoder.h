// Decodes a content-encoded file into a new file with zlib, streaming in fixed-size chunks so
// that memory stays small whatever the sizes. Any content encoding is handed to us as "gzip",
// so the decoder accepts gzip (several members in a row, as gzip writes with appends), a zlib
// stream and raw deflate, told apart by their first bytes.
#pragma once

#include <cstdint>
#include <string>

namespace toravin::gzdec {

// The output limit that guards against decompression bombs: a page larger than this is not a
// page a crawl should read.
inline constexpr std::uint64_t kDefaultOutputLimit = 256ull * 1024 * 1024;

struct DecodeResult {
  int code = 0;  // 0, or one of toravin::abi::ArcResult
  std::uint64_t inBytes = 0;
  std::uint64_t outBytes = 0;
  std::string message;  // one line for the caller's output buffer
};

// Decodes `inPath` into `outPath` (both native POSIX paths). On any failure the output file is
// removed again, so a failed decode never leaves a half-written page behind. With `cut` above 0,
// decoding stops once `cut` bytes are out, and that first part is the (successful) result; the
// limit is then never reached when it is above the cut.
DecodeResult DecodeFile(const std::string& inPath, const std::string& outPath,
                        std::uint64_t outputLimit, std::uint64_t cut = 0);

}  // namespace toravin::gzdec
