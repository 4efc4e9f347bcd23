// The one picture taken from a srcset attribute ("a-300.jpg 300w, a-1200.jpg 1200w").
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// The candidate URL with the largest width ("w") descriptor; without any, the one with the
// largest density ("x"; a candidate without a descriptor counts as 1x); without either, the
// first. Empty when the attribute names no candidate. Candidates are cut as HTML does: a URL
// runs to the next blank, and a comma that ends it is no part of it (so "w_300,h_200" stays
// whole inside a URL).
std::string BestSrcsetCandidate(std::string_view srcset);

}  // namespace toravin
