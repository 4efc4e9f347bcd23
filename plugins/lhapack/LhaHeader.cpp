// Header bytes are little-endian. Reading is defensive: every size is checked against the
// header and the file before it is used, and a header that does not add up is reported as
// damaged instead of being guessed at, so that appending never writes into the middle of data.
#include "LhaHeader.h"

#include <cstring>
#include <vector>

#include "Crc16.h"
#include "platform/Cp932.h"

namespace toravin::lha {
namespace {

constexpr std::size_t kLevel2BaseSize = 24;  // up to the first extended-header size
constexpr unsigned char kExtCommon = 0x00;
constexpr unsigned char kExtFileName = 0x01;
constexpr unsigned char kExtFolder = 0x02;
constexpr unsigned char kExtAttribute = 0x40;
constexpr unsigned char kFolderSeparator = 0xFF;
constexpr std::uint16_t kAttributeArchive = 0x20;
// Largest header of levels 0 to 2 (a 16-bit size plus the extended headers of level 1).
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

void Put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xff);
  s[at + 1] = static_cast<char>((v >> 8) & 0xff);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, v & 0xffff);
  Put16(s, at + 2, v >> 16);
}
void Append16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xff));
  s.push_back(static_cast<char>((v >> 8) & 0xff));
}
std::uint32_t Get16(const unsigned char* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
std::uint32_t Get32(const unsigned char* p) { return Get16(p) | (Get16(p + 2) << 16); }

// Appends one extended header: its type, its data and the size field of the one after it,
// which the caller patches. Returns the offset of that size field.
std::size_t AppendExt(std::string& h, unsigned char type, const std::string& data) {
  h.push_back(static_cast<char>(type));
  h += data;
  std::size_t nextSizeAt = h.size();
  Append16(h, 0);
  return nextSizeAt;
}

// "a\b" (Shift-JIS, "\" that is not a trail byte) -> "a" FF "b" FF.
std::string FolderField(const std::string& folder) {
  std::string out;
  for (std::size_t i = 0; i < folder.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(folder[i]);
    if (IsLeadByte(c) && i + 1 < folder.size()) {
      out += folder[i];
      out += folder[++i];
    } else if (c == '\\' || c == '/') {
      out.push_back(static_cast<char>(kFolderSeparator));
    } else {
      out.push_back(folder[i]);
    }
  }
  if (out.empty() || static_cast<unsigned char>(out.back()) != kFolderSeparator) {
    out.push_back(static_cast<char>(kFolderSeparator));
  }
  return out;
}

// FF-separated folder field -> "\"-separated folder without a trailing separator.
std::string FolderFromField(const unsigned char* p, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(p[i] == kFolderSeparator ? '\\' : char(p[i]));
  while (EndsWithSeparator(out)) out.pop_back();
  return out;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name) {
  std::string p = path;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (IsLeadByte(p[i]) && i + 1 < p.size()) {
      ++i;
    } else if (p[i] == '/') {
      p[i] = '\\';
    }
  }
  std::size_t start = FileNameStart(p);
  name = p.substr(start);
  folder = start > 0 ? p.substr(0, start - 1) : std::string();
}

bool ReadAt(std::FILE* f, std::uint64_t offset, void* buf, std::size_t n) {
  if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(buf, 1, n, f) == n;
}

// Walks the extended headers in `ext` (first size given), filling folder and name.
bool ParseExtended(const unsigned char* ext, std::size_t extLen, std::size_t firstSize,
                   EntryInfo& info, std::size_t* consumed) {
  std::size_t at = 0;
  std::size_t size = firstSize;
  while (size != 0) {
    if (size < 3 || at + size > extLen) return false;
    const unsigned char* e = ext + at;
    std::size_t dataLen = size - 3;
    if (e[0] == kExtFileName) {
      if (dataLen > kMaxNameBytes) return false;
      info.name.assign(reinterpret_cast<const char*>(e + 1), dataLen);
    } else if (e[0] == kExtFolder) {
      if (dataLen > kMaxNameBytes) return false;
      info.folder = FolderFromField(e + 1, dataLen);
    }
    at += size;
    size = Get16(e + size - 2);
  }
  if (consumed != nullptr) *consumed = at;
  return true;
}

}  // namespace

std::string BuildLevel2Header(const NewEntry& e) {
  std::string h(kLevel2BaseSize + 2, '\0');
  std::memcpy(h.data() + 2, e.method, 5);
  Put32(h, 7, e.packedSize);
  Put32(h, 11, e.originalSize);
  Put32(h, 15, e.unixTime);
  h[19] = 0x20;
  h[20] = 2;
  Put16(h, 21, e.crc);
  h[23] = kOsId;
  std::size_t sizeAt = kLevel2BaseSize;
  auto add = [&](unsigned char type, const std::string& data) {
    Put16(h, sizeAt, static_cast<std::uint32_t>(data.size() + 3));
    sizeAt = AppendExt(h, type, data);
  };
  add(kExtCommon, std::string(2, '\0'));
  const std::size_t headerCrcAt = kLevel2BaseSize + 2 + 1;
  add(kExtFileName, e.name);
  if (!e.folder.empty()) add(kExtFolder, FolderField(e.folder));
  std::string attr(2, '\0');
  Put16(attr, 0, kAttributeArchive);
  add(kExtAttribute, attr);
  if ((h.size() & 0xff) == 0) h.push_back('\0');
  Put16(h, 0, static_cast<std::uint32_t>(h.size()));
  Put16(h, headerCrcAt, Crc16::Of(h.data(), h.size()));
  return h;
}

ReadStatus ReadEntryHeader(std::FILE* f, std::uint64_t offset, std::uint64_t fileSize,
                           EntryInfo& info) {
  info = EntryInfo();
  info.offset = offset;
  if (offset == fileSize) return ReadStatus::kEnd;
  if (offset > fileSize) return ReadStatus::kDamaged;
  unsigned char first = 0;
  if (!ReadAt(f, offset, &first, 1)) return ReadStatus::kDamaged;
  if (first == 0) return ReadStatus::kEnd;
  unsigned char base[kLevel2BaseSize + 2];
  if (fileSize - offset < sizeof base || !ReadAt(f, offset, base, sizeof base)) {
    return ReadStatus::kDamaged;
  }
  if (base[2] != '-' || base[6] != '-') return ReadStatus::kDamaged;
  info.method.assign(reinterpret_cast<const char*>(base + 2), 5);
  info.packedSize = Get32(base + 7);
  info.originalSize = Get32(base + 11);
  info.level = base[20];
  std::uint64_t headerSize = 0;
  std::uint64_t extBytes = 0;  // level 1: extended headers counted in the packed size
  std::vector<unsigned char> h;
  switch (info.level) {
    case 0:
    case 1: {
      headerSize = std::uint64_t{base[0]} + 2;
      if (headerSize < 24) return ReadStatus::kDamaged;
      h.resize(headerSize);
      if (offset + headerSize > fileSize || !ReadAt(f, offset, h.data(), h.size())) {
        return ReadStatus::kDamaged;
      }
      std::size_t nameLen = h[21];
      if (22 + nameLen + 2 > headerSize) return ReadStatus::kDamaged;
      std::string path(reinterpret_cast<const char*>(h.data() + 22), nameLen);
      SplitPath(path, info.folder, info.name);
      info.crc = static_cast<std::uint16_t>(Get16(h.data() + 22 + nameLen));
      if (info.level == 1) {
        if (22 + nameLen + 5 > headerSize) return ReadStatus::kDamaged;
        std::size_t firstSize = Get16(h.data() + headerSize - 2);
        std::uint64_t extStart = offset + headerSize;
        std::uint64_t extLen = std::min<std::uint64_t>(
            kMaxHeaderBytes, std::min(info.packedSize, fileSize - extStart));
        std::vector<unsigned char> ext(extLen);
        if (extLen > 0 && !ReadAt(f, extStart, ext.data(), ext.size())) {
          return ReadStatus::kDamaged;
        }
        std::size_t consumed = 0;
        if (!ParseExtended(ext.data(), ext.size(), firstSize, info, &consumed)) {
          return ReadStatus::kDamaged;
        }
        extBytes = consumed;
      }
      break;
    }
    case 2: {
      headerSize = Get16(base);
      if (headerSize < kLevel2BaseSize + 2) return ReadStatus::kDamaged;
      h.resize(headerSize);
      if (offset + headerSize > fileSize || !ReadAt(f, offset, h.data(), h.size())) {
        return ReadStatus::kDamaged;
      }
      info.crc = static_cast<std::uint16_t>(Get16(h.data() + 21));
      std::size_t firstSize = Get16(h.data() + kLevel2BaseSize);
      if (!ParseExtended(h.data() + kLevel2BaseSize + 2, headerSize - kLevel2BaseSize - 2,
                         firstSize, info, nullptr)) {
        return ReadStatus::kDamaged;
      }
      break;
    }
    default:
      return ReadStatus::kDamaged;
  }
  if (info.level == 1) {
    if (info.packedSize < extBytes) return ReadStatus::kDamaged;
    info.dataOffset = offset + headerSize + extBytes;
    info.packedSize -= extBytes;
  } else {
    info.dataOffset = offset + headerSize;
  }
  if (info.dataOffset + info.packedSize > fileSize) return ReadStatus::kDamaged;
  return ReadStatus::kEntry;
}

}  // namespace toravin::lha
