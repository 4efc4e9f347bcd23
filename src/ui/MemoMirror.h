// Keeps a read-only QPlainTextEdit showing a LineList. The list's changes are queued as they
// happen and applied when the window syncs: appends, removals and moves touch one block each, so
// a crawl that takes one entry off the front of a 100,000-line work list per file costs the same
// as one of ten lines; a burst of many changes refills the memo once instead.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "platform/LineList.h"

class QPlainTextEdit;

namespace toravin {

class MemoMirror {
 public:
  // Installs itself as the list's listener.
  MemoMirror(QPlainTextEdit* memo, LineList& lines);
  MemoMirror(const MemoMirror&) = delete;
  MemoMirror& operator=(const MemoMirror&) = delete;

  bool pending() const { return m_reset || !m_ops.empty(); }
  // Applies the queued changes to the memo.
  void apply();

  // Changes queued beyond this (plus half the list's length) are shown by one refill.
  static constexpr size_t kMaxQueued = 512;

 private:
  struct Op {
    LineList::Change change;
    int a, b;
    std::string text;  // the added or moved line
  };
  void onChange(LineList::Change change, int a, int b);
  // Removes `count` lines from `index` on.
  void removeLines(int index, int count);
  // Inserts `count` lines (`text`, joined by line breaks) before line `index` (at the end when
  // `index` is past it).
  void insertLines(int index, const QString& text, int count);

  QPlainTextEdit* m_memo;
  const LineList& m_lines;
  std::vector<Op> m_ops;
  bool m_reset = true;
  int m_shown = 0;  // lines the memo holds
};

}  // namespace toravin
