#include "main/FittedName.h"

#include <limits.h>
#include <unistd.h>

#include <algorithm>

#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/UnfitChar.h"

namespace toravin {
namespace {

// An extension longer than this is no extension but part of the name.
constexpr std::size_t kMaxExtensionBytes = 16;

// Bytes of the first character of `text`.
std::size_t CharLength(std::string_view text) {
  std::size_t unfit = 0;
  if (ReadUnfitChar(text, unfit) != 0) return unfit;
  return IsLeadByte(text[0]) && text.size() > 1 ? 2 : 1;
}

std::size_t NameMax(std::string_view dir) {
  // A run saves thousands of files into one directory: its limit is asked for once.
  thread_local std::string lastDir;
  thread_local std::size_t lastMax = 0;
  if (lastMax != 0 && dir == lastDir) return lastMax;
  const long n =
      ::pathconf(NativePath(dir.empty() ? std::string_view(".") : dir).c_str(), _PC_NAME_MAX);
  const std::size_t max = n > 0 ? static_cast<std::size_t>(n) : std::size_t{NAME_MAX};
  // Only a directory that exists has a limit worth keeping.
  if (n > 0) {
    lastDir = dir;
    lastMax = max;
  }
  return max;
}

}  // namespace

std::string FitName(std::string_view dir, std::string_view name) {
  const std::size_t dirBytes = NativePath(JoinPath(dir, "")).size();
  // The longest name the directory can take, with room for a number.
  const std::size_t pathRoom = PATH_MAX - 1 > dirBytes ? PATH_MAX - 1 - dirBytes : 0;
  const std::size_t limit = std::min(NameMax(dir), pathRoom);
  if (NativePath(name).size() + kNumberedNameRoom <= limit) return std::string(name);

  std::size_t dot = name.rfind('.');
  std::string ext;
  if (dot != std::string_view::npos && dot > 0 &&
      NativePath(name.substr(dot)).size() <= kMaxExtensionBytes) {
    ext = name.substr(dot);
  } else {
    dot = name.size();
  }
  const std::size_t extBytes = NativePath(ext).size();
  if (limit < extBytes + kNumberedNameRoom + 1) return std::string(name);
  std::size_t budget = limit - extBytes - kNumberedNameRoom;
  std::string_view base = name.substr(0, dot);
  std::size_t cut = 0;
  while (cut < base.size()) {
    const std::size_t len = CharLength(base.substr(cut));
    const std::size_t bytes = NativePath(base.substr(cut, len)).size();
    if (bytes > budget) break;
    budget -= bytes;
    cut += len;
  }
  if (cut == 0) return std::string(name);
  return std::string(base.substr(0, cut)) + ext;
}

}  // namespace toravin
