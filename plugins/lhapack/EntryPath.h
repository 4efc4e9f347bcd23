// The path an entry is stored under. Whatever the command line names, an archive we write holds
// only plain relative paths, so that an extractor is never led outside its directory: drive
// prefixes, leading separators and the parts "", "." and ".." (or any part of dots alone) are
// dropped.
#pragma once

#include <string>
#include <string_view>

namespace toravin::lha {

// Splits `path` (Shift-JIS, "\" or "/" between parts) into a safe folder ("a\b", or empty) and
// file name. False when the file name (the last part) is empty or dots alone.
bool SafeEntryPath(std::string_view path, std::string& folder, std::string& name);

}  // namespace toravin::lha
