// TExStringList: a list of text lines looked up by the text before their first colon, without
// regard to case. It holds the request header lines that the HTTP client builds and that its
// owner edits before each request.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace toravin {

class TExStringList {
 public:
  int Count() const { return static_cast<int>(m_lines.size()); }
  const std::string& operator[](int index) const { return m_lines.at(static_cast<size_t>(index)); }
  const std::vector<std::string>& Lines() const { return m_lines; }

  void Add(std::string line) { m_lines.push_back(std::move(line)); }
  void Insert(int index, std::string line);
  void Delete(int index);  // an index outside the list does nothing
  void Clear() { m_lines.clear(); }

  // Sorted lists are searched by bisection with the same comparison.
  bool Sorted() const { return m_sorted; }
  void SetSorted(bool sorted);

  // Index of the first line that has a colon and whose text before its first colon equals `name`
  // (ASCII case ignored); -1 when there is none.
  int IndexOfKey(std::string_view name) const;

  // A non-empty value replaces the first matching line (or is appended) as name + ": " + value;
  // an empty value deletes the first matching line, if any.
  void SetKeyValue(std::string_view name, std::string_view value);

  // All lines, each followed by CR LF.
  std::string Text() const;

 private:
  std::vector<std::string> m_lines;
  bool m_sorted = false;
};

}  // namespace toravin
