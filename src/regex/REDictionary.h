// A dictionary of the preprocessor: an ordered list of groups, each an ordered list of CP932
// strings that are to match one another. Order matters: the first group with a hit wins.
#pragma once

#include <string>
#include <vector>

namespace toravin {

using TREDictionaryGroup = std::vector<std::string>;
using TREDictionary = std::vector<TREDictionaryGroup>;

}  // namespace toravin
