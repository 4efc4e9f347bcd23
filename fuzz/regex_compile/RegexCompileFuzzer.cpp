// Any bytes as a pattern: compiling must give a DFA or ERegExpParser, never a crash, a leak or a
// hang. The bytes are also run through the fuzzy-character preprocessor.
#include <cstddef>
#include <cstdint>
#include <string>

#include "regex/ERegExpParser.h"
#include "regex/TextMatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string pattern(reinterpret_cast<const char*>(data), size);
  toravin::TTextMatcher matcher;
  try {
    matcher.SetRegExp(pattern);
  } catch (const toravin::ERegExpParser&) {
  }
  toravin::TTextMatcher fuzzy;
  try {
    fuzzy.SetUseFuzzyCharDic(true);
    fuzzy.SetRegExp(pattern);
  } catch (const toravin::ERegExpParser&) {
  }
  return 0;
}
