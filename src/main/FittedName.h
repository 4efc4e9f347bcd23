// A file name cut to what the file system holds. Names on disk are the UTF-8 form of the name;
// one may take at most NAME_MAX bytes, and the whole path PATH_MAX. A longer name is shortened at
// a character boundary, its extension kept, with room left for the "(n)" of a numbered name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace toravin {

// Bytes kept free for the number of a numbered name, "(1)" to "(99999)".
constexpr std::size_t kNumberedNameRoom = 7;

// `name` (CP932, no separator) as it fits in directory `dir` (a core path): unchanged when it
// fits, else the longest run of its first characters that does, followed by its extension.
// When not even one character fits, the name is returned unchanged (and will fail to be made).
std::string FitName(std::string_view dir, std::string_view name);

}  // namespace toravin
