// The classes are the intervals between consecutive label boundaries; intervals no label covers
// share class 0, whose column is empty. A cell keeps the first transition in ascending start
// order that holds its class, which is exactly what a walk over the sorted list would find.
#include "regex/DfaTable.h"

#include <algorithm>
#include <utility>

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"

namespace toravin {

int TDfaTable::WideClass(TReCode code) const {
  auto it = std::upper_bound(m_wideStarts.begin(), m_wideStarts.end(), std::uint32_t{code});
  return m_wideClass[static_cast<std::size_t>(it - m_wideStarts.begin()) - 1];
}

void TDfaTable::Build(const std::vector<TREDfaStateInfo>& states, int initial) {
  m_initial = initial;
  // The distinct labels (states share most of theirs) and the interval boundaries they make.
  std::vector<std::pair<TReCode, TReCode>> labels;
  for (const auto& s : states) {
    for (const auto& t : s.transitions) labels.emplace_back(t.start, t.end);
  }
  std::sort(labels.begin(), labels.end());
  labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
  std::vector<std::uint32_t> bounds{0, 0x10000};
  for (const auto& [start, end] : labels) {
    bounds.push_back(start);
    bounds.push_back(std::uint32_t{end} + 1);
  }
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  const std::size_t intervals = bounds.size() - 1;
  auto intervalOf = [&](std::uint32_t code) {
    return static_cast<std::size_t>(std::upper_bound(bounds.begin(), bounds.end(), code) -
                                    bounds.begin()) -
           1;
  };
  // Covered intervals get classes 1..k.
  std::vector<int> classOf(intervals, 0);
  for (const auto& [start, end] : labels) {
    for (std::size_t i = intervalOf(start); i < intervals && bounds[i] <= end; ++i) classOf[i] = 1;
  }
  int classes = 1;
  for (int& c : classOf) c = c ? classes++ : 0;
  m_width = static_cast<std::size_t>(classes);
  if (states.size() * m_width > kMaxTableCells) {
    throw ERegExpParser(
        Sjis("正規表現が複雑すぎます（遷移表の大きさが上限の4000000項目を超えました）"), 0);
  }

  for (std::uint32_t c = 0; c < 256; ++c) m_byteClass[c] = classOf[intervalOf(c)];
  m_wideStarts.clear();
  m_wideClass.clear();
  for (std::size_t i = intervalOf(256); i < intervals; ++i) {
    m_wideStarts.push_back(std::max<std::uint32_t>(bounds[i], 256));
    m_wideClass.push_back(classOf[i]);
  }

  m_next.assign(states.size() * m_width, -1);
  m_accepting.assign(states.size(), 0);
  m_head.assign(states.size(), -1);
  m_tail.assign(states.size(), -1);
  for (std::size_t s = 0; s < states.size(); ++s) {
    const auto& info = states[s];
    m_accepting[s] = info.accepting;
    m_head[s] = info.headTarget;
    m_tail[s] = info.tailTarget;
    std::int32_t* row = &m_next[s * m_width];
    for (const auto& t : info.transitions) {
      for (std::size_t i = intervalOf(t.start); i < intervals && bounds[i] <= t.end; ++i) {
        int c = classOf[i];
        if (row[c] < 0) row[c] = t.target;
      }
    }
  }

  m_cells.assign(m_next.size(), -1);
  for (std::size_t i = 0; i < m_next.size(); ++i) {
    const std::int32_t t = m_next[i];
    if (t >= 0) {
      m_cells[i] = static_cast<std::int32_t>(static_cast<std::size_t>(t) * m_width * 2) +
                   (m_accepting[static_cast<std::size_t>(t)] ? 1 : 0);
    }
  }

  // Which first bytes can begin a match: a byte with a step of its own, or a lead byte that
  // starts some double-byte code with a step (or that stands alone before the end).
  const std::int32_t* initRow = &m_next[static_cast<std::size_t>(initial) * m_width];
  for (int b = 0; b < 256; ++b) {
    bool can = initRow[m_byteClass[static_cast<std::size_t>(b)]] >= 0;
    m_startByte[static_cast<std::size_t>(b)] =
        can ? kTry : (IsLeadByte(static_cast<unsigned char>(b)) ? kSkip2 : kSkip1);
  }
  for (const auto& t : states[static_cast<std::size_t>(initial)].transitions) {
    if (t.end < 256) continue;
    for (int b = std::max(t.start, TReCode{256}) >> 8; b <= t.end >> 8; ++b) {
      if (IsLeadByte(static_cast<unsigned char>(b)))
        m_startByte[static_cast<std::size_t>(b)] = kTry;
    }
  }
  // Code 0 ends the text; it never starts a match by a step.
  m_startByte[0] = kSkip1;
  m_singleStartByte = -1;
  int candidates = 0;
  for (int b = 0; b < 256; ++b) {
    if (m_startByte[static_cast<std::size_t>(b)] != kTry) continue;
    ++candidates;
    m_singleStartByte = b;
  }
  if (candidates != 1 || IsLeadByte(static_cast<unsigned char>(m_singleStartByte))) {
    m_singleStartByte = -1;
  }
  // The forced prefix: follow states that do not accept, have no anchor steps and exactly one
  // step on one plain single-byte character.
  m_prefix.clear();
  int s = initial;
  while (m_prefix.size() < kMaxPrefix) {
    const auto& info = states[static_cast<std::size_t>(s)];
    if (info.accepting || info.headTarget >= 0 || info.tailTarget >= 0 ||
        info.transitions.size() != 1) {
      break;
    }
    const auto& t = info.transitions[0];
    if (t.start != t.end || t.start == 0 || t.start >= 256 ||
        IsLeadByte(static_cast<unsigned char>(t.start))) {
      break;
    }
    m_prefix.push_back(static_cast<char>(t.start));
    s = t.target;
  }
  m_prefixRow = static_cast<std::int32_t>(static_cast<std::size_t>(s) * m_width);
  m_prefixAccepts = states[static_cast<std::size_t>(s)].accepting;
}

}  // namespace toravin
