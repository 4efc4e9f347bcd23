// The table is built once at first use from the polynomial.
#include "Crc16.h"

#include <array>

namespace toravin::lha {
namespace {

constexpr std::uint16_t kPolynomial = 0xA001;

constexpr std::array<std::uint16_t, 256> MakeTable() {
  std::array<std::uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t r = static_cast<std::uint16_t>(i);
    for (int k = 0; k < 8; ++k) {
      r = static_cast<std::uint16_t>((r & 1) ? (r >> 1) ^ kPolynomial : r >> 1);
    }
    t[i] = r;
  }
  return t;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();

}  // namespace

void Crc16::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::uint16_t crc = m_crc;
  for (std::size_t i = 0; i < size; ++i) {
    crc = static_cast<std::uint16_t>(kTable[(crc ^ p[i]) & 0xff] ^ (crc >> 8));
  }
  m_crc = crc;
}

}  // namespace toravin::lha
