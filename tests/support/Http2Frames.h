// HTTP/2 frames written by hand for scripted servers in tests and fuzz seeds: a frame header and
// payload, and header blocks in HPACK's literal forms (no Huffman coding).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace toravin::test {

enum : std::uint8_t {
  kH2Data = 0,
  kH2Headers = 1,
  kH2RstStream = 3,
  kH2Settings = 4,
  kH2Ping = 6,
  kH2Goaway = 7,
};
enum : std::uint8_t { kH2EndStream = 1, kH2Ack = 1, kH2EndHeaders = 4 };

inline std::string H2Frame(std::uint8_t type, std::uint8_t flags, std::uint32_t stream,
                           const std::string& payload) {
  std::string f;
  const std::size_t n = payload.size();
  f += static_cast<char>((n >> 16) & 0xff);
  f += static_cast<char>((n >> 8) & 0xff);
  f += static_cast<char>(n & 0xff);
  f += static_cast<char>(type);
  f += static_cast<char>(flags);
  for (int shift = 24; shift >= 0; shift -= 8) f += static_cast<char>((stream >> shift) & 0xff);
  return f + payload;
}

inline std::string H2Be32(std::uint32_t v) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xff);
  return s;
}

// An HPACK integer with an `prefix`-bit prefix whose high bits are `first`.
inline std::string HpackInt(std::uint8_t first, int prefix, std::size_t value) {
  const std::size_t max = (std::size_t{1} << prefix) - 1;
  std::string s;
  if (value < max) return std::string(1, static_cast<char>(first | value));
  s += static_cast<char>(first | max);
  value -= max;
  while (value >= 128) {
    s += static_cast<char>(0x80 | (value & 0x7f));
    value >>= 7;
  }
  return s + static_cast<char>(value);
}

inline std::string HpackString(const std::string& text) {
  return HpackInt(0, 7, text.size()) + text;
}

// Literal header fields without indexing (0x00) or with incremental indexing (0x40).
inline std::string HpackLiteral(const std::string& name, const std::string& value,
                                bool indexed = false) {
  return std::string(1, static_cast<char>(indexed ? 0x40 : 0x00)) + HpackString(name) +
         HpackString(value);
}

// The server's opening: an empty SETTINGS frame and the acknowledgement of the client's.
inline std::string H2ServerStart() {
  return H2Frame(kH2Settings, 0, 0, "") + H2Frame(kH2Settings, kH2Ack, 0, "");
}

inline std::string H2Headers(std::uint32_t stream, const std::string& status,
                             const std::vector<std::pair<std::string, std::string>>& fields,
                             bool endStream) {
  std::string block = HpackLiteral(":status", status);
  for (const auto& [n, v] : fields) block += HpackLiteral(n, v);
  return H2Frame(kH2Headers, kH2EndHeaders | (endStream ? kH2EndStream : 0), stream, block);
}

}  // namespace toravin::test
