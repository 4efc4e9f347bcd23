// Stdio with fseeko/ftruncate underneath; every step's result is checked, and the archive is
// flushed before success is reported. The kept index is keyed by the file's identity, so a file
// changed by anyone else is scanned again.
#include "LhaArchive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "archive/ArchiverAbi.h"
#include "platform/Cp932.h"

namespace toravin::lha {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct Identity {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  long mtimeSec = 0;
  long mtimeNsec = 0;
  bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, static_cast<long>(st.st_mtim.tv_sec),
          static_cast<long>(st.st_mtim.tv_nsec)};
}

// The index of the archive used last.
struct KeptIndex {
  std::string path;
  Identity identity;
  std::shared_ptr<ArchiveIndex> index;
};
KeptIndex& Kept() {
  static KeptIndex kept;
  return kept;
}

std::shared_ptr<ArchiveIndex> ScanOpen(std::FILE* f, std::uint64_t fileSize) {
  auto index = std::make_shared<ArchiveIndex>();
  std::uint64_t offset = 0;
  for (;;) {
    EntryInfo info;
    ReadStatus st = ReadEntryHeader(f, offset, fileSize, info);
    if (st == ReadStatus::kEnd) break;
    if (st == ReadStatus::kDamaged || index->entries.size() >= kMaxEntries) {
      index->code = abi::kArcDamaged;
      break;
    }
    offset = info.dataOffset + info.packedSize;
    index->Add(std::move(info));
  }
  index->end = offset;
  return index;
}

// The kept index when it belongs to this file as it is now, else a fresh scan (kept from now).
std::shared_ptr<ArchiveIndex> IndexFor(const std::string& path, std::FILE* f) {
  struct stat st {};
  if (fstat(fileno(f), &st) != 0) {
    auto index = std::make_shared<ArchiveIndex>();
    index->code = abi::kArcCannotOpen;
    return index;
  }
  KeptIndex& kept = Kept();
  if (kept.index && kept.path == path && kept.identity == IdentityOf(st)) return kept.index;
  auto index = ScanOpen(f, static_cast<std::uint64_t>(st.st_size));
  kept = {path, IdentityOf(st), index};
  return index;
}

bool WriteAll(std::FILE* f, const void* data, std::size_t size) {
  return size == 0 || std::fwrite(data, 1, size, f) == size;
}

}  // namespace

std::string FoldName(const std::string& name) {
  std::string out = name;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(out[i])) {
      ++i;
    } else if (out[i] >= 'A' && out[i] <= 'Z') {
      out[i] = static_cast<char>(out[i] - 'A' + 'a');
    } else if (out[i] == '/') {
      out[i] = '\\';
    }
  }
  return out;
}

void ArchiveIndex::Add(EntryInfo e) {
  foldedNames.insert(FoldName(e.name));
  foldedPaths.insert(FoldName(e.Path()));
  entries.push_back(std::move(e));
}

bool ArchiveIndex::Holds(const std::string& name) const {
  std::string wanted = FoldName(name);
  bool withFolder = FileNameStart(wanted) > 0;
  return (withFolder ? foldedPaths : foldedNames).count(wanted) != 0;
}

std::shared_ptr<const ArchiveIndex> ScanArchive(const std::string& nativePath) {
  FilePtr f(std::fopen(nativePath.c_str(), "rb"));
  if (!f) {
    auto index = std::make_shared<ArchiveIndex>();
    index->code = abi::kArcCannotOpen;
    return index;
  }
  return IndexFor(nativePath, f.get());
}

int AppendEntry(const std::string& nativePath, NewEntry& entry,
                const std::function<std::int64_t(std::FILE*)>& payload) {
  FilePtr f(std::fopen(nativePath.c_str(), "r+b"));
  if (!f) {
    if (access(nativePath.c_str(), F_OK) == 0) return abi::kArcCannotOpen;
    f.reset(std::fopen(nativePath.c_str(), "w+b"));
    if (!f) return abi::kArcCannotCreate;
  }
  std::shared_ptr<ArchiveIndex> index = IndexFor(nativePath, f.get());
  if (index->code != 0) return index->code;
  Kept() = KeptIndex();  // the file is about to change
  const std::uint64_t end = index->end;
  const char closing = 0;
  std::string header = BuildLevel2Header(entry);
  bool ok = fseeko(f.get(), static_cast<off_t>(end), SEEK_SET) == 0 &&
            WriteAll(f.get(), header.data(), header.size());
  const std::int64_t size = ok ? payload(f.get()) : -1;
  // The header as the data turned out goes in last, over the first.
  std::string final = BuildLevel2Header(entry);
  ok = ok && size >= 0 && final.size() == header.size();
  header = std::move(final);
  const std::uint64_t newEnd = end + header.size() + static_cast<std::uint64_t>(ok ? size : 0);
  ok = ok && fseeko(f.get(), static_cast<off_t>(newEnd), SEEK_SET) == 0 &&
       WriteAll(f.get(), &closing, 1) && fseeko(f.get(), static_cast<off_t>(end), SEEK_SET) == 0 &&
       WriteAll(f.get(), header.data(), header.size()) && std::fflush(f.get()) == 0;
  if (ok) ok = ftruncate(fileno(f.get()), static_cast<off_t>(newEnd + 1)) == 0;
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
  // Read the new header back through the same reader a later scan would use, and keep the
  // extended index when it agrees.
  struct stat st {};
  EntryInfo added;
  bool readBack = fstat(fileno(f.get()), &st) == 0 &&
                  ReadEntryHeader(f.get(), end, newEnd + 1, added) == ReadStatus::kEntry &&
                  added.dataOffset + added.packedSize == newEnd;
  if (std::fclose(f.release()) != 0) return abi::kArcWrite;
  if (readBack) {
    // An archive handle still open keeps the index it was opened with.
    if (index.use_count() > 1) index = std::make_shared<ArchiveIndex>(*index);
    index->Add(std::move(added));
    index->end = newEnd;
    Kept() = {nativePath, IdentityOf(st), index};
  }
  return abi::kArcOk;
}

}  // namespace toravin::lha
