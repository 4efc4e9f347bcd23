// The lines of a page cut one tag per line, as SplitTagLines cuts them, made one at a time from
// the page's own bytes: the list costs nothing beside the page, however many "<" it holds.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

namespace toravin {

class TTagLines {
 public:
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::string_view;

    iterator() = default;
    // The line, a view into the page's bytes.
    std::string_view operator*() const { return m_line; }
    iterator& operator++();
    bool operator==(const iterator& other) const { return m_done == other.m_done; }

   private:
    friend class TTagLines;
    explicit iterator(std::string_view text);
    std::string_view m_text;
    std::size_t m_pos = 0;
    bool m_afterBreak = true;
    std::string_view m_line;
    bool m_done = true;
  };

  TTagLines() = default;
  // The lines of `text`, which the caller keeps alive and unchanged while they are read.
  explicit TTagLines(std::string_view text) : m_view(text) {}
  // The lines of `length` bytes at `offset` in `owned`, which the list keeps.
  TTagLines(std::string owned, std::size_t offset, std::size_t length)
      : m_owned(std::move(owned)), m_offset(offset), m_length(length), m_owns(true) {}

  iterator begin() const { return iterator(Text()); }
  iterator end() const { return iterator(); }

 private:
  std::string_view Text() const {
    return m_owns ? std::string_view(m_owned).substr(m_offset, m_length) : m_view;
  }
  std::string_view m_view;
  std::string m_owned;
  std::size_t m_offset = 0;
  std::size_t m_length = 0;
  bool m_owns = false;
};

}  // namespace toravin
