// Cutting a page into lines with one tag per line, as link extraction reads it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace toravin {

// Every line break as CR LF: a lone CR or a lone LF becomes CR LF.
std::string NormalizeLineBreaks(std::string_view text);

// Every line break normalised to CR LF (a lone CR or LF becomes CR LF), then CR LF inserted
// before every "<" that is neither the first character, nor the last, nor preceded by a LF.
std::string SplitTags(std::string_view text);

// The lines of a text, split at CR LF (the pieces between the breaks; a final break adds no
// empty line).
std::vector<std::string> SplitLines(std::string_view text);

// SplitLines(SplitTags(text)) in one pass, without building the intermediate text.
std::vector<std::string> SplitTagLines(std::string_view text);

}  // namespace toravin
