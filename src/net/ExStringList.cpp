// Key comparison is ASCII-only case folding, so CP932 trail bytes in a key never fold into other
// characters. Sorting orders lines by the same folded text so the bisection agrees with it.
#include "net/ExStringList.h"

#include <algorithm>

namespace toravin {
namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Compares a and b ignoring ASCII case: <0, 0, >0.
int CompareFolded(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(Fold(a[i]));
    unsigned char y = static_cast<unsigned char>(Fold(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The key of a line (text before its first colon); npos-free: lines without a colon give an
// empty view and `hasKey` false.
std::string_view KeyOf(std::string_view line, bool& hasKey) {
  std::size_t colon = line.find(':');
  hasKey = colon != std::string_view::npos;
  return hasKey ? line.substr(0, colon) : std::string_view();
}

}  // namespace

void TExStringList::Insert(int index, std::string line) {
  if (index < 0 || index > Count()) index = Count();
  m_lines.insert(m_lines.begin() + index, std::move(line));
}

void TExStringList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  m_lines.erase(m_lines.begin() + index);
}

void TExStringList::SetSorted(bool sorted) {
  m_sorted = sorted;
  if (sorted) {
    std::stable_sort(
        m_lines.begin(), m_lines.end(),
        [](const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; });
  }
}

int TExStringList::IndexOfKey(std::string_view name) const {
  if (m_sorted) {
    // Lines sorted by folded text: a line "name:..." sorts at or after "name" and before any
    // text that is greater at the key's length, so search the first line not below `name`.
    auto it = std::lower_bound(
        m_lines.begin(), m_lines.end(), name,
        [](const std::string& line, std::string_view key) { return CompareFolded(line, key) < 0; });
    for (; it != m_lines.end(); ++it) {
      std::string_view line = *it;
      if (CompareFolded(line.substr(0, std::min(line.size(), name.size())), name) != 0) break;
      bool hasKey = false;
      std::string_view key = KeyOf(line, hasKey);
      if (hasKey && CompareFolded(key, name) == 0) return static_cast<int>(it - m_lines.begin());
    }
    return -1;
  }
  // A key is the text before a line's first colon: a name with a colon is no line's key, and a
  // line has the key `name` when its first colon comes right after the name's length.
  if (name.find(':') != std::string_view::npos) return -1;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    const std::string_view line = m_lines[i];
    if (line.size() > name.size() && line[name.size()] == ':' &&
        CompareFolded(line.substr(0, name.size()), name) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void TExStringList::SetKeyValue(std::string_view name, std::string_view value) {
  int index = IndexOfKey(name);
  if (value.empty()) {
    Delete(index);
    return;
  }
  std::string line;
  line.reserve(name.size() + 2 + value.size());
  line.append(name).append(": ").append(value);
  if (index >= 0) {
    m_lines[static_cast<size_t>(index)] = std::move(line);
  } else if (m_sorted) {
    m_lines.push_back(std::move(line));
    SetSorted(true);
  } else {
    m_lines.push_back(std::move(line));
  }
}

std::string TExStringList::Text() const {
  std::string text;
  for (const std::string& line : m_lines) text.append(line).append("\r\n");
  return text;
}

}  // namespace toravin
