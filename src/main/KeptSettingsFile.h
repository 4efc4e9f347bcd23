// A settings file that did not load is moved aside before anything can overwrite it: to
// "<file>.broken", or the first free numbered name ("<file>(1).broken", ...), so that what it held
// can still be looked at or mended by hand.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// Moves `path` (a core path) to the first free name of "<path>.broken" without replacing any file.
// Returns the name it now has, or empty when it could not be moved (it then stays where it was).
std::string KeepBrokenSettingsFile(std::string_view path);

// The sentence appended to the load error's box: where the file was kept.
std::string KeptSettingsFileText(std::string_view keptPath);

}  // namespace toravin
