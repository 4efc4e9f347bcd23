// Our -lh5- compressor: LZSS over an 8 KiB window (matches of 3 to 256 bytes found through hash
// chains, with one step of lazy evaluation, as the common deflate encoders do) followed by
// static Huffman blocks, each carrying its own code tables. The parameters mirror a middle
// compression level; they are named below so that the trade of speed for size is explicit.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace toravin::lha {

struct Lh5Params {
  int maxChain = 128;       // candidates examined per position
  int goodLength = 8;       // a previous match this long quarters the search
  int maxLazy = 16;         // a previous match this long is taken without searching again
  int niceLength = 128;     // a match this long ends the search
  int tooFar = 4096;        // a 3-byte match further back than this is not worth its position
  int blockTokens = 32768;  // literals and matches per Huffman block (at most 65535)
};

// Compresses `data` as -lh5-, handing the bits to `drain` as they are made instead of keeping
// them, so a large body is compressed in little memory: after each block once `piece` bytes are
// waiting, and the rest at the end. `drain` returns false to stop (its write failed). Gives up,
// returning false, as soon as the compressed bits reach `cap` bytes (the caller then stores the
// data uncompressed) or `drain` stopped; what was drained by then is for the caller to discard.
bool EncodeLh5To(const unsigned char* data, std::size_t size,
                 const std::function<bool(std::string_view)>& drain, std::size_t cap,
                 std::size_t piece = std::size_t{1} << 20, const Lh5Params& params = Lh5Params());

}  // namespace toravin::lha
