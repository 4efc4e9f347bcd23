// The crawl's path for a directory is found by converting the native path to CP932 and checking
// that the platform's own mapping (NativePath) gives the same bytes back: any loss on the way
// ("?" for a character CP932 lacks, two Unicode characters that share one CP932 code, a "\"
// that the mapping would read as a separator) shows up as a difference, and the directory is
// refused instead of being replaced by another one.
#include "main/DirectoryName.h"

#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin {
namespace {

bool IsValidCp932(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
    if (!IsLeadByte(c) || i + 1 >= bytes.size()) return false;
    const unsigned char t = static_cast<unsigned char>(bytes[++i]);
    if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
  }
  return true;
}

}  // namespace

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      n = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3, cp = c & 0x07;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const unsigned char t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += n + 1;
  }
  return true;
}

std::string DisplayName(std::string_view onDisk) {
  if (IsValidUtf8(onDisk)) return std::string(onDisk);
  if (IsValidCp932(onDisk)) return Cp932ToUtf8(onDisk);
  std::string out;
  for (std::size_t i = 0; i < onDisk.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(onDisk[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD
    }
  }
  return out;
}

std::optional<std::string> CrawlPath(std::string_view nativePath) {
  if (!IsValidUtf8(nativePath)) return std::nullopt;
  std::string core = Utf8ToCp932(nativePath);
  if (NativePath(core) != nativePath) return std::nullopt;
  return core;
}

}  // namespace toravin
