// LHA entry headers: writing the level-2 header of a new entry, and reading the headers of
// levels 0, 1 and 2 that an existing archive may hold (to find its entries and its end). Names
// are kept as the archive stores them, Shift-JIS bytes, with "\" between folder and file name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace toravin::lha {

// Longest folder or file name we write or read, in bytes (the header size field is 16 bits).
inline constexpr std::size_t kMaxNameBytes = 4096;

// The operating-system byte of the headers we write (MS-DOS family: names are Shift-JIS).
inline constexpr char kOsId = 'M';

struct NewEntry {
  const char* method = "-lh5-";  // five characters
  std::uint32_t packedSize = 0;
  std::uint32_t originalSize = 0;
  std::uint32_t unixTime = 0;
  std::uint16_t crc = 0;  // CRC-16 of the original data
  std::string folder;     // "" or "a\b", without a trailing "\"
  std::string name;
};

// The complete level-2 header for `e`: base header, common header with the header CRC, file
// name, folder name when there is one, and the MS-DOS attribute. Its total size never has a zero
// low byte (a padding byte is added), since a zero byte where a header starts ends the archive.
std::string BuildLevel2Header(const NewEntry& e);

struct EntryInfo {
  std::uint64_t offset = 0;      // where the header starts
  std::uint64_t dataOffset = 0;  // where the packed data starts
  std::uint64_t packedSize = 0;
  std::uint64_t originalSize = 0;
  int level = 0;
  std::string method;
  std::string folder;  // "\"-separated, no trailing separator
  std::string name;
  std::uint16_t crc = 0;
  // The stored path: folder + "\" + name, or the name alone.
  std::string Path() const { return folder.empty() ? name : folder + "\\" + name; }
};

enum class ReadStatus { kEntry, kEnd, kDamaged };

// Reads the header at `offset` of an archive of `fileSize` bytes. kEnd when the archive ends
// there (end of file, or the zero byte that closes an archive).
ReadStatus ReadEntryHeader(std::FILE* f, std::uint64_t offset, std::uint64_t fileSize,
                           EntryInfo& info);

}  // namespace toravin::lha
