// Deque-backed memo lines; moves between the two ends avoid shifting the whole list.
#include "platform/LineList.h"

namespace toravin {

void LineList::Add(std::string line) {
  m_lines.push_back(std::move(line));
  Notify(Change::Added, Count() - 1);
}

void LineList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  if (index == 0) {
    m_lines.pop_front();
  } else {
    m_lines.erase(m_lines.begin() + index);
  }
  Notify(Change::Deleted, index);
}

void LineList::Move(int from, int to) {
  if (from == to || from < 0 || to < 0 || from >= Count() || to >= Count()) return;
  if (from == 0 && to == Count() - 1) {
    std::string line = std::move(m_lines.front());
    m_lines.pop_front();
    m_lines.push_back(std::move(line));
  } else {
    std::string line = std::move(m_lines[static_cast<size_t>(from)]);
    m_lines.erase(m_lines.begin() + from);
    m_lines.insert(m_lines.begin() + to, std::move(line));
  }
  Notify(Change::Moved, from, to);
}

void LineList::Clear() {
  m_lines.clear();
  Notify(Change::Cleared, 0);
}

void LineList::SetText(std::string_view text) {
  m_lines.clear();
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      m_lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) m_lines.emplace_back(text.substr(start));
  Notify(Change::Replaced, 0);
}

std::string LineList::Text() const {
  std::string text;
  for (const std::string& line : m_lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace toravin
