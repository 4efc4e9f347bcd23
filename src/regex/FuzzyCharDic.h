// The built-in fuzzy-character dictionary: 145 groups that make a letter match its full-width
// forms, a digit its kanji and circled forms, a symbol its full-width form and a kana its
// katakana, half-width and decomposed forms. Built once, shared by every text matcher.
#pragma once

#include "regex/REDictionary.h"

namespace toravin {

// The dictionary, built on first use (thread-safe) and kept until the process ends.
const TREDictionary& FuzzyCharDic();

}  // namespace toravin
