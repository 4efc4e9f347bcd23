// CRC-16 as LHA archives use it for file contents and headers: the reflected polynomial 0xA001
// with an initial value of 0 (the checksum of ARC archives). Table-driven, one byte per step,
// which keeps it well ahead of the compressor.
#pragma once

#include <cstddef>
#include <cstdint>

namespace toravin::lha {

class Crc16 {
 public:
  void Update(const void* data, std::size_t size);
  std::uint16_t value() const { return m_crc; }

  static std::uint16_t Of(const void* data, std::size_t size) {
    Crc16 c;
    c.Update(data, size);
    return c.value();
  }

 private:
  std::uint16_t m_crc = 0;
};

}  // namespace toravin::lha
