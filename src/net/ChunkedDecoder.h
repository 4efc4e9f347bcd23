// TChunkedDecoder: the chunked transfer coding of an HTTP/1.1 reply body, decoded as the bytes
// arrive, in any pieces. It holds no buffer of its own: the data bytes are written to the
// caller's output (which may be the input itself, decoded in place) and everything else is read
// and dropped. Size lines, extensions and trailers are bounded, and a chunk size too large for
// 60 bits is refused, so a hostile body costs bounded memory and ends in a clear failure.
#pragma once

#include <cstddef>
#include <cstdint>

namespace toravin {

class TChunkedDecoder {
 public:
  // A size line with its extensions, or one trailer line, may not be longer than this.
  static constexpr std::size_t kMaxLineBytes = 4096;
  // All trailer lines together.
  static constexpr std::size_t kMaxTrailerBytes = 65536;
  // Hexadecimal digits of a chunk size (60 bits).
  static constexpr int kMaxSizeDigits = 15;

  // Reads up to `size` bytes at `in`, stopping after the body's last byte. The data bytes go to
  // `out` (at most as many as were read; `out` may equal `in`), or are only counted when `out` is
  // null. Returns the bytes read; `produced` is set to the data bytes written.
  std::size_t Feed(const char* in, std::size_t size, char* out, std::size_t& produced);

  // The last chunk and the trailer have been read: the body is whole.
  bool Done() const { return m_state == State::Done; }
  // The coding is broken (a bad size, a missing line end, a line or trailer too long).
  bool Failed() const { return m_state == State::Failed; }

 private:
  enum class State { Size, Extension, SizeLf, Data, DataCr, DataLf, Trailer, Done, Failed };
  void EndSizeLine();

  State m_state = State::Size;
  std::uint64_t m_left = 0;  // chunk size while reading it, then the data bytes still to come
  int m_digits = 0;
  std::size_t m_lineBytes = 0;
  std::size_t m_trailerBytes = 0;
};

}  // namespace toravin
