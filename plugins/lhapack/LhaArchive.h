// An LHA archive file as a sequence of entries closed by a zero byte. Scanning walks the
// headers only (never the packed data); appending writes the new entry where the closing byte
// stood and a new closing byte after it, so the entries already stored are never rewritten.
// A crawl appends thousands of entries one by one and tests for each name first, so the index of
// the last archive scanned is kept and reused for as long as the file is unchanged on disk
// (same device, inode, size and modification time), and extended in place after an append.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "LhaHeader.h"

namespace toravin::lha {

// Most entries one archive may hold before scanning refuses it (a guard against a corrupt file
// that parses as endless tiny entries).
inline constexpr std::size_t kMaxEntries = 1000000;

// Entry names as FindFirst compares them: ASCII letters in lower case ("/" taken as "\"), the
// bytes of double-byte characters unchanged.
std::string FoldName(const std::string& name);

struct ArchiveIndex {
  int code = 0;  // 0 or an abi::ArcResult
  std::vector<EntryInfo> entries;
  std::uint64_t end = 0;  // offset of the closing byte (or of the end of the file)
  std::unordered_set<std::string> foldedNames;  // FoldName of every entry's name
  std::unordered_set<std::string> foldedPaths;  // FoldName of every entry's folder\name

  void Add(EntryInfo e);
  bool Holds(const std::string& name) const;  // bare name or folder\name, FoldName rules
};

// Scans the archive at `nativePath` (or reuses the kept index). A missing file gives code
// kArcCannotOpen.
std::shared_ptr<const ArchiveIndex> ScanArchive(const std::string& nativePath);

// Appends one entry to the archive, creating it when it does not exist: `payload` gets the
// archive positioned after a header built from `entry`, writes the packed data there and returns
// its size (-1 when a write failed), leaving `entry` as the data turned out (method, packed
// size). The header is then built again and put over the first; both have the same size, as a
// header's size does not depend on the method or the sizes. On a write failure the archive is
// cut back to its old end and closed again, so it stays as it was. Returns 0 or an
// abi::ArcResult.
int AppendEntry(const std::string& nativePath, NewEntry& entry,
                const std::function<std::int64_t(std::FILE*)>& payload);

}  // namespace toravin::lha
