// The matching form of a DFA: character codes fall into classes (codes that every state treats
// alike), and the next state is one array lookup by state and class. Single-byte codes find
// their class in a 256-entry array, double-byte codes by binary search over the class starts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "regex/CharCodes.h"

namespace toravin {

struct TREDfaTransition {
  TReCode start = 0;
  TReCode end = 0;
  int target = -1;
};

struct TREDfaStateInfo {
  bool accepting = false;
  int headTarget = -1;                        // target of the line-head step, -1 when there is none
  int tailTarget = -1;                        // target of the line-tail step
  std::vector<TREDfaTransition> transitions;  // ascending start, pairwise disjoint
};

// Most cells (states times classes) a table may hold; each cell is kept in two 4-byte forms.
constexpr std::size_t kMaxTableCells = 4000000;

class TDfaTable {
 public:
  // Raises ERegExpParser when the table would exceed kMaxTableCells.
  void Build(const std::vector<TREDfaStateInfo>& states, int initial);

  int ClassOf(TReCode code) const { return code < 256 ? m_byteClass[code] : WideClass(code); }
  // The next state, -1 when the state has no transition for the code.
  int Next(int state, TReCode code) const {
    return m_next[static_cast<std::size_t>(state) * m_width +
                  static_cast<std::size_t>(ClassOf(code))];
  }
  // The walk form of the table: a row is state * width; a cell holds the target's row times 2
  // plus 1 when the target accepts, or -1. One load per character, no multiply.
  std::int32_t InitialRow() const {
    return static_cast<std::int32_t>(m_initial) * static_cast<std::int32_t>(m_width);
  }
  std::int32_t Cell(std::int32_t row, TReCode code) const {
    return m_cells[static_cast<std::size_t>(row + ClassOf(code))];
  }
  bool Accepting(int state) const { return m_accepting[static_cast<std::size_t>(state)] != 0; }
  int Head(int state) const { return m_head[static_cast<std::size_t>(state)]; }
  int Tail(int state) const { return m_tail[static_cast<std::size_t>(state)]; }
  int Initial() const { return m_initial; }

  // For the first byte of a character: kSkip1 and kSkip2 mean no match can start there (the
  // character is one or two bytes long), kTry that the initial state has a step for it.
  enum StartKind : std::uint8_t { kSkip1 = 0, kSkip2 = 1, kTry = 2 };
  StartKind StartByte(unsigned char b) const { return static_cast<StartKind>(m_startByte[b]); }
  // The one single-byte character that can begin a match, or -1 when there are several (or a
  // double-byte one). Literal-prefixed patterns such as the link patterns have one.
  int SingleStartByte() const { return m_singleStartByte; }
  // The single-byte characters every match begins with (up to kMaxPrefix; "<A" for the anchor
  // link pattern), the walk row after them, and whether that state accepts.
  static constexpr std::size_t kMaxPrefix = 16;
  const std::string& Prefix() const { return m_prefix; }
  std::int32_t PrefixRow() const { return m_prefixRow; }
  bool PrefixAccepts() const { return m_prefixAccepts; }

 private:
  int WideClass(TReCode code) const;

  std::array<int, 256> m_byteClass{};
  std::vector<std::uint32_t> m_wideStarts;  // class intervals from the one holding 256 upward
  std::vector<int> m_wideClass;
  std::size_t m_width = 1;
  std::vector<std::int32_t> m_next;
  std::vector<std::int32_t> m_cells;
  std::vector<std::uint8_t> m_accepting;
  std::vector<int> m_head;
  std::vector<int> m_tail;
  std::array<std::uint8_t, 256> m_startByte{};
  int m_singleStartByte = -1;
  std::string m_prefix;
  std::int32_t m_prefixRow = 0;
  bool m_prefixAccepts = false;
  int m_initial = 0;
};

}  // namespace toravin
