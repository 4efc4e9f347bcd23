#include "ui/MemoMirror.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "ui/QtText.h"

namespace toravin {

MemoMirror::MemoMirror(QPlainTextEdit* memo, LineList& lines) : m_memo(memo), m_lines(lines) {
  lines.SetListener([this](LineList::Change c, int a, int b) { onChange(c, a, b); });
}

void MemoMirror::onChange(LineList::Change change, int a, int b) {
  if (m_reset) return;
  if (change == LineList::Change::Cleared || change == LineList::Change::Replaced ||
      m_ops.size() >= kMaxQueued) {
    m_reset = true;
    m_ops.clear();
    return;
  }
  QString text;
  if (change == LineList::Change::Added) text = FromSjis(m_lines[a]);
  if (change == LineList::Change::Moved) text = FromSjis(m_lines[b]);
  m_ops.push_back({change, a, b, std::move(text)});
}

void MemoMirror::removeBlock(int index) {
  if (index < 0 || index >= m_shown) return;
  QTextDocument* doc = m_memo->document();
  if (m_shown == 1) {
    doc->clear();
    m_shown = 0;
    return;
  }
  QTextCursor c(doc);
  if (index < m_shown - 1) {
    c.setPosition(doc->findBlockByNumber(index).position());
    c.setPosition(doc->findBlockByNumber(index + 1).position(), QTextCursor::KeepAnchor);
  } else {
    // The last line: take the line break before it with it.
    QTextBlock prev = doc->findBlockByNumber(index - 1);
    c.setPosition(prev.position() + prev.length() - 1);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
  }
  c.removeSelectedText();
  --m_shown;
}

void MemoMirror::insertLine(int index, const QString& text) {
  QTextDocument* doc = m_memo->document();
  QTextCursor c(doc);
  if (m_shown == 0) {
    c.insertText(text);
  } else if (index >= m_shown) {
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    c.insertText(text);
  } else {
    c.setPosition(doc->findBlockByNumber(index).position());
    c.insertText(text);
    c.insertBlock();
  }
  ++m_shown;
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
  for (const Op& op : m_ops) {
    switch (op.change) {
      case LineList::Change::Added:
        insertLine(op.a, op.text);
        break;
      case LineList::Change::Deleted:
        removeBlock(op.a);
        break;
      case LineList::Change::Moved:
        removeBlock(op.a);
        insertLine(op.b, op.text);
        break;
      case LineList::Change::Cleared:
      case LineList::Change::Replaced:
        break;
    }
  }
  m_ops.clear();
}

}  // namespace toravin
