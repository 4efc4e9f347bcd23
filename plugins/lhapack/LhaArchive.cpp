// Stdio with fseeko/ftruncate underneath; every step's result is checked, and the archive is
// flushed before success is reported.
#include "LhaArchive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "archive/ArchiverAbi.h"

namespace toravin::lha {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::uint64_t SizeOf(std::FILE* f) {
  struct stat st {};
  if (fstat(fileno(f), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

ArchiveScan ScanOpen(std::FILE* f) {
  ArchiveScan scan;
  const std::uint64_t fileSize = SizeOf(f);
  std::uint64_t offset = 0;
  for (;;) {
    EntryInfo info;
    ReadStatus st = ReadEntryHeader(f, offset, fileSize, info);
    if (st == ReadStatus::kEnd) break;
    if (st == ReadStatus::kDamaged || scan.entries.size() >= kMaxEntries) {
      scan.code = abi::kArcDamaged;
      break;
    }
    offset = info.dataOffset + info.packedSize;
    scan.entries.push_back(std::move(info));
  }
  scan.end = offset;
  return scan;
}

bool WriteAll(std::FILE* f, const void* data, std::size_t size) {
  return size == 0 || std::fwrite(data, 1, size, f) == size;
}

}  // namespace

ArchiveScan ScanArchive(const std::string& nativePath) {
  FilePtr f(std::fopen(nativePath.c_str(), "rb"));
  if (!f) {
    ArchiveScan scan;
    scan.code = abi::kArcCannotOpen;
    return scan;
  }
  return ScanOpen(f.get());
}

int AppendEntry(const std::string& nativePath, const std::string& header, const void* data,
                std::size_t size) {
  FilePtr f(std::fopen(nativePath.c_str(), "r+b"));
  if (!f) {
    if (access(nativePath.c_str(), F_OK) == 0) return abi::kArcCannotOpen;
    f.reset(std::fopen(nativePath.c_str(), "w+b"));
    if (!f) return abi::kArcCannotCreate;
  }
  ArchiveScan scan = ScanOpen(f.get());
  if (scan.code != 0) return scan.code;
  const std::uint64_t end = scan.end;
  const char closing = 0;
  bool ok = fseeko(f.get(), static_cast<off_t>(end), SEEK_SET) == 0 &&
            WriteAll(f.get(), header.data(), header.size()) && WriteAll(f.get(), data, size) &&
            WriteAll(f.get(), &closing, 1) && std::fflush(f.get()) == 0;
  if (ok) {
    std::uint64_t newEnd = end + header.size() + size + 1;
    ok = ftruncate(fileno(f.get()), static_cast<off_t>(newEnd)) == 0;
  }
  if (!ok) {
    // Put the archive back as it was: its old entries and a closing byte.
    std::clearerr(f.get());
    if (ftruncate(fileno(f.get()), static_cast<off_t>(end)) == 0 &&
        fseeko(f.get(), static_cast<off_t>(end), SEEK_SET) == 0) {
      WriteAll(f.get(), &closing, 1);
      std::fflush(f.get());
    }
    return abi::kArcWrite;
  }
  return std::fclose(f.release()) == 0 ? abi::kArcOk : abi::kArcWrite;
}

}  // namespace toravin::lha
