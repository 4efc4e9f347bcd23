// Parts are cut at separators that are not trail bytes; a ":" (never a trail byte) cuts off
// what stands before it in its part, which removes drive prefixes such as "C:".
#include "EntryPath.h"

#include <vector>

#include "platform/Cp932.h"

namespace toravin::lha {
namespace {

bool OnlyDots(std::string_view part) { return part.find_first_not_of('.') == std::string::npos; }

}  // namespace

bool SafeEntryPath(std::string_view path, std::string& folder, std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  auto endPart = [&] {
    if (!OnlyDots(part)) parts.push_back(part);  // also drops the empty part
    part.clear();
  };
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (IsLeadByte(c) && i + 1 < path.size()) {
      part += c;
      part += path[++i];
    } else if (c == '\\' || c == '/') {
      endPart();
    } else if (c == ':') {
      part.clear();
    } else {
      part += c;
    }
  }
  // The file name itself must be a plain name; nothing else is taken in its place.
  if (OnlyDots(part)) return false;
  name = part;
  folder.clear();
  for (const std::string& p : parts) {
    if (!folder.empty()) folder += '\\';
    folder += p;
  }
  return true;
}

}  // namespace toravin::lha
