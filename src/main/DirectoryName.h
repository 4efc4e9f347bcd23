// Directory names between the file system and the crawl. The file system names directories in
// bytes (UTF-8 on nearly every Linux system, Shift-JIS on disks written by old Japanese
// programs); the crawl works in CP932 and reaches the disk through NativePath. These functions
// show any name readably and hand a directory to the crawl only when the crawl's path leads back
// to exactly that directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace toravin {

// Whether `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view bytes);

// A name as the user reads it (UTF-8): UTF-8 names as they are, other names that are well-formed
// Shift-JIS converted from it, anything else with U+FFFD for the bytes that are neither.
std::string DisplayName(std::string_view onDisk);

// The crawl's CP932 path for a native directory path, or nothing when no CP932 path leads back
// to exactly these bytes (a character Shift-JIS cannot spell, a "\" inside a name, or a name
// that is not UTF-8 at all).
std::optional<std::string> CrawlPath(std::string_view nativePath);

}  // namespace toravin
