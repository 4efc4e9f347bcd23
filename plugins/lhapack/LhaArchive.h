// An LHA archive file as a sequence of entries closed by a zero byte. Scanning walks the
// headers only (never the packed data); appending writes the new entry where the closing byte
// stood and a new closing byte after it, so the entries already stored are never rewritten.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LhaHeader.h"

namespace toravin::lha {

// Most entries one archive may hold before scanning refuses it (a guard against a corrupt file
// that parses as endless tiny entries).
inline constexpr std::size_t kMaxEntries = 1000000;

struct ArchiveScan {
  int code = 0;  // 0 or an abi::ArcResult
  std::vector<EntryInfo> entries;
  std::uint64_t end = 0;  // offset of the closing byte (or of the end of the file)
};

// Scans the archive at `nativePath`. A missing file is an empty archive with end 0 and
// code kArcCannotOpen.
ArchiveScan ScanArchive(const std::string& nativePath);

// Appends one entry (header, then `size` bytes of packed data) to the archive, creating it when
// it does not exist. On a write failure the archive is cut back to its old end and closed again,
// so it stays as it was. Returns 0 or an abi::ArcResult.
int AppendEntry(const std::string& nativePath, const std::string& header, const void* data,
                std::size_t size);

}  // namespace toravin::lha
