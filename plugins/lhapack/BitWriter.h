// Appends bit fields most significant bit first, as -lh5- data is laid out. Fields of up to 16
// bits go into a 64-bit accumulator that is emptied a whole byte at a time; the last byte is
// padded with zero bits. An output cap lets the compressor stop as soon as the data stops paying.
#pragma once

#include <cstdint>
#include <string>

namespace toravin::lha {

class BitWriter {
 public:
  explicit BitWriter(std::string& out) : m_out(out) {}

  // Appends the low `count` bits of `bits` (count <= 16).
  void Put(unsigned count, std::uint32_t bits) {
    m_acc = (m_acc << count) | (bits & ((1u << count) - 1));
    m_used += count;
    if (m_used >= 32) {
      m_used -= 32;
      std::uint32_t word = static_cast<std::uint32_t>(m_acc >> m_used);
      char b[4] = {static_cast<char>(word >> 24), static_cast<char>(word >> 16),
                   static_cast<char>(word >> 8), static_cast<char>(word)};
      m_out.append(b, 4);
    }
  }

  // Writes out the bits still held, padding the last byte with zeros.
  void Flush() {
    while (m_used >= 8) {
      m_used -= 8;
      m_out.push_back(static_cast<char>(m_acc >> m_used));
    }
    if (m_used > 0) {
      m_out.push_back(static_cast<char>(m_acc << (8 - m_used)));
      m_used = 0;
    }
    m_acc = 0;
  }

  // Bytes written so far (the held bits not counted).
  std::size_t size() const { return m_out.size(); }

 private:
  std::string& m_out;
  std::uint64_t m_acc = 0;
  unsigned m_used = 0;
};

}  // namespace toravin::lha
