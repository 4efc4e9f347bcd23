// The lines of a memo control, kept in the form model. Removing the first line and moving it to
// the end are constant-time (a deque), since the crawl does both once per fetched file. An
// optional listener hears every change, so a widget or the headless tool can follow the list.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace toravin {

class LineList {
 public:
  enum class Change { Added, Deleted, Moved, Cleared, Replaced };
  // (change, index, second index for Moved; -1 otherwise)
  using Listener = std::function<void(Change, int, int)>;

  int Count() const { return static_cast<int>(m_lines.size()); }
  const std::string& operator[](int i) const { return m_lines[static_cast<size_t>(i)]; }
  const std::deque<std::string>& lines() const { return m_lines; }

  void Add(std::string line);
  // Out-of-range indexes do nothing.
  void Delete(int index);
  void Move(int from, int to);
  void Clear();
  // Replaces every line with the lines of `text` split at CR LF, LF or CR.
  void SetText(std::string_view text);
  // The lines joined, each followed by CR LF.
  std::string Text() const;

  void SetListener(Listener listener) { m_listener = std::move(listener); }

 private:
  void Notify(Change c, int a, int b = -1) {
    if (m_listener) m_listener(c, a, b);
  }
  std::deque<std::string> m_lines;
  Listener m_listener;
};

}  // namespace toravin
