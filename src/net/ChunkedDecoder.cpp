// One pass over the input, byte by byte outside the data and with one copy per run of data. Bare
// LF line ends are taken as CR LF, as servers and proxies write both.
#include "net/ChunkedDecoder.h"

#include <algorithm>
#include <cstring>

namespace toravin {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void TChunkedDecoder::EndSizeLine() {
  m_lineBytes = 0;
  m_digits = 0;
  m_state = m_left == 0 ? State::Trailer : State::Data;
}

std::size_t TChunkedDecoder::Feed(const char* in, std::size_t size, char* out,
                                  std::size_t& produced) {
  produced = 0;
  std::size_t i = 0;
  while (i < size && m_state != State::Done && m_state != State::Failed) {
    if (m_state == State::Data) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(m_left, size - i));
      if (out) std::memmove(out + produced, in + i, n);
      produced += n;
      i += n;
      m_left -= n;
      if (m_left == 0) m_state = State::DataCr;
      continue;
    }
    const char c = in[i++];
    switch (m_state) {
      case State::Size: {
        const int v = HexValue(c);
        if (v >= 0) {
          if (++m_digits > kMaxSizeDigits) {
            m_state = State::Failed;
          } else {
            m_left = m_left * 16 + static_cast<std::uint64_t>(v);
          }
        } else if (m_digits == 0) {
          m_state = State::Failed;
        } else if (c == ';' || c == ' ' || c == '\t') {
          m_state = State::Extension;
        } else if (c == '\r') {
          m_state = State::SizeLf;
        } else if (c == '\n') {
          EndSizeLine();
        } else {
          m_state = State::Failed;
        }
        break;
      }
      case State::Extension:
        if (c == '\n') {
          EndSizeLine();
        } else if (++m_lineBytes > kMaxLineBytes) {
          m_state = State::Failed;
        }
        break;
      case State::SizeLf:
        if (c == '\n') {
          EndSizeLine();
        } else {
          m_state = State::Failed;
        }
        break;
      case State::DataCr:
        if (c == '\r') {
          m_state = State::DataLf;
        } else if (c == '\n') {
          m_state = State::Size;
        } else {
          m_state = State::Failed;
        }
        break;
      case State::DataLf:
        m_state = c == '\n' ? State::Size : State::Failed;
        break;
      case State::Trailer:
        if (++m_trailerBytes > kMaxTrailerBytes) {
          m_state = State::Failed;
        } else if (c == '\n') {
          // An empty line ends the trailer, and the body.
          m_state = m_lineBytes == 0 ? State::Done : State::Trailer;
          m_lineBytes = 0;
        } else if (c != '\r' && ++m_lineBytes > kMaxLineBytes) {
          m_state = State::Failed;
        }
        break;
      default:
        break;
    }
  }
  return i;
}

}  // namespace toravin
