#include "ui/MemoMirror.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "ui/QtText.h"

namespace toravin {

MemoMirror::MemoMirror(QPlainTextEdit* memo, LineList& lines) : m_memo(memo), m_lines(lines) {
  lines.SetListener([this](LineList::Change c, int a, int b) { onChange(c, a, b); });
}

void MemoMirror::onChange(LineList::Change change, int a, int b) {
  if (m_reset) return;
  // Past a point, refilling the memo once is cheaper than replaying the changes one by one.
  const size_t replayLimit = kMaxQueued + static_cast<size_t>(m_lines.Count()) / 2;
  if (change == LineList::Change::Cleared || change == LineList::Change::Replaced ||
      m_ops.size() >= replayLimit) {
    m_reset = true;
    m_ops.clear();
    return;
  }
  std::string text;
  if (change == LineList::Change::Added) text = m_lines[a];
  if (change == LineList::Change::Moved) text = m_lines[b];
  m_ops.push_back({change, a, b, std::move(text)});
}

void MemoMirror::removeLines(int index, int count) {
  if (index < 0 || count <= 0 || index >= m_shown) return;
  count = std::min(count, m_shown - index);
  QTextDocument* doc = m_memo->document();
  if (count == m_shown) {
    doc->clear();
    m_shown = 0;
    return;
  }
  QTextCursor c(doc);
  if (index + count < m_shown) {
    c.setPosition(doc->findBlockByNumber(index).position());
    c.setPosition(doc->findBlockByNumber(index + count).position(), QTextCursor::KeepAnchor);
  } else {
    // The last lines: take the line break before them with them.
    QTextBlock prev = doc->findBlockByNumber(index - 1);
    c.setPosition(prev.position() + prev.length() - 1);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  }
  c.removeSelectedText();
  m_shown -= count;
}

void MemoMirror::insertLines(int index, const QString& text, int count) {
  QTextDocument* doc = m_memo->document();
  QTextCursor c(doc);
  if (m_shown == 0) {
    c.insertText(text);
  } else if (index >= m_shown) {
    c.movePosition(QTextCursor::End);
    c.insertText(QLatin1Char('\n') + text);
  } else {
    c.setPosition(doc->findBlockByNumber(index).position());
    c.insertText(text + QLatin1Char('\n'));
  }
  m_shown += count;
}

void MemoMirror::apply() {
  if (m_reset) {
    QStringList text;
    text.reserve(m_lines.Count());
    for (const std::string& line : m_lines.lines()) text << FromSjis(line);
    m_memo->setPlainText(text.join(QLatin1Char('\n')));
    m_shown = m_lines.Count();
    m_reset = false;
    m_ops.clear();
    return;
  }
  // One edit block: the memo lays itself out once for the whole batch.
  QTextCursor block(m_memo->document());
  block.beginEditBlock();
  for (size_t i = 0; i < m_ops.size();) {
    const Op& op = m_ops[i];
    switch (op.change) {
      case LineList::Change::Added: {
        // A run of lines added at the end goes in as one text.
        QStringList run{FromSjis(op.text)};
        size_t k = i + 1;
        while (k < m_ops.size() && m_ops[k].change == LineList::Change::Added &&
               m_ops[k].a == m_ops[k - 1].a + 1) {
          run << FromSjis(m_ops[k].text);
          ++k;
        }
        insertLines(op.a, run.join(QLatin1Char('\n')), static_cast<int>(run.size()));
        i = k;
        continue;
      }
      case LineList::Change::Deleted: {
        // A run of removals at the same place goes as one range.
        size_t k = i + 1;
        while (k < m_ops.size() && m_ops[k].change == LineList::Change::Deleted &&
               m_ops[k].a == op.a) {
          ++k;
        }
        removeLines(op.a, static_cast<int>(k - i));
        i = k;
        continue;
      }
      case LineList::Change::Moved:
        removeLines(op.a, 1);
        insertLines(op.b, FromSjis(op.text), 1);
        break;
      case LineList::Change::Cleared:
      case LineList::Change::Replaced:
        break;
    }
    ++i;
  }
  block.endEditBlock();
  m_ops.clear();
}

}  // namespace toravin
