// Splits an archiver command line into its words, the way the program builds them: words are
// separated by blanks, and a word in double quotes may hold blanks (the quotes are dropped).
// Header-only, as both plug-ins and the bridge use it and the plug-ins link nothing of ours.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace toravin {

struct ArchiverCommandLine {
  std::vector<std::string> switches;  // words that begin with "-" (outside quotes)
  std::vector<std::string> words;     // every other word, in order

  // Longest command line the plug-ins accept; anything longer is a malformed call.
  static constexpr std::size_t kMaxLength = 64 * 1024;

  // Nothing when the line is too long or a quote is not closed.
  static std::optional<ArchiverCommandLine> Parse(std::string_view line) {
    if (line.size() > kMaxLength) return std::nullopt;
    ArchiverCommandLine result;
    std::size_t i = 0;
    while (i < line.size()) {
      if (line[i] == ' ' || line[i] == '\t') {
        ++i;
        continue;
      }
      std::string word;
      bool quoted = false;
      bool isSwitch = line[i] == '-';
      while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
        if (line[i] == '"') {
          quoted = !quoted;
          isSwitch = isSwitch && !word.empty();
        } else {
          word += line[i];
        }
        ++i;
      }
      if (quoted) return std::nullopt;
      (isSwitch ? result.switches : result.words).push_back(std::move(word));
    }
    return result;
  }

  // The text between the double quotes of `text`, or `text` itself when it is not quoted.
  static std::string Unquote(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
      text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
  }

  // `text` in double quotes.
  static std::string Quote(std::string_view text) {
    std::string out = "\"";
    out += text;
    out += '"';
    return out;
  }
};

}  // namespace toravin
