#include "ui/Accessibles.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace toravin {
namespace {

class MemoAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface {
 public:
  explicit MemoAccessible(QPlainTextEdit* memo)
      : QAccessibleWidget(memo, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface) {
      return memo()->isReadOnly() ? nullptr : static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = memo()->isReadOnly();
    s.editable = !s.readOnly;
    s.multiLine = true;
    s.selectableText = true;
    return s;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return memo()->toPlainText();
    return QAccessibleWidget::text(t);
  }

  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    const QTextCursor c = memo()->textCursor();
    if (index == 0 && c.hasSelection()) {
      *start = c.selectionStart();
      *end = c.selectionEnd();
    }
  }
  int selectionCount() const override { return memo()->textCursor().hasSelection() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override {
    QTextCursor c = memo()->textCursor();
    c.clearSelection();
    memo()->setTextCursor(c);
  }
  void setSelection(int, int start, int end) override {
    QTextCursor c = cursorAt(start);
    c.setPosition(clamp(end), QTextCursor::KeepAnchor);
    memo()->setTextCursor(c);
  }
  int cursorPosition() const override { return memo()->textCursor().position(); }
  void setCursorPosition(int position) override { memo()->setTextCursor(cursorAt(position)); }
  QString text(int start, int end) const override {
    QTextCursor c = cursorAt(start);
    c.setPosition(end < 0 ? characterCount() : clamp(end), QTextCursor::KeepAnchor);
    return c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  }
  int characterCount() const override {
    return std::max(0, memo()->document()->characterCount() - 1);
  }
  QRect characterRect(int offset) const override {
    const QRect r = memo()->cursorRect(cursorAt(offset));
    return QRect(memo()->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  int offsetAtPoint(const QPoint& point) const override {
    return memo()->cursorForPosition(memo()->viewport()->mapFromGlobal(point)).position();
  }
  void scrollToSubstring(int start, int) override {
    memo()->setTextCursor(cursorAt(start));
    memo()->ensureCursorVisible();
  }
  QString attributes(int offset, int* start, int* end) const override {
    *start = 0;
    *end = std::max(offset, characterCount());
    return {};
  }

  void deleteText(int start, int end) override { replaceText(start, end, QString()); }
  void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
  void replaceText(int start, int end, const QString& text) override {
    if (memo()->isReadOnly()) return;
    QTextCursor c = cursorAt(start);
    c.setPosition(clamp(end), QTextCursor::KeepAnchor);
    c.insertText(text);
  }

 private:
  QPlainTextEdit* memo() const { return static_cast<QPlainTextEdit*>(widget()); }
  int clamp(int offset) const { return std::clamp(offset, 0, characterCount()); }
  QTextCursor cursorAt(int offset) const {
    QTextCursor c(memo()->document());
    c.setPosition(clamp(offset));
    return c;
  }
};

// Qt's own interface for an object, passed through; subclasses change one reading. Qt's
// interface stays in Qt's cache, which may delete it first when the application ends: it is
// looked up by its id at each use.
class Forwarding : public QAccessibleInterface {
 public:
  Forwarding(QObject* object, QAccessibleInterface* inner)
      : m_object(object), m_innerId(QAccessible::uniqueId(inner)) {}

  bool isValid() const override { return m_object && in() && in()->isValid(); }
  QObject* object() const override { return m_object; }
  QWindow* window() const override { return in() ? in()->window() : nullptr; }
  QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(
      QAccessible::Relation match) const override {
    return in() ? in()->relations(match)
                : QList<QPair<QAccessibleInterface*, QAccessible::Relation>>();
  }
  QAccessibleInterface* focusChild() const override { return in() ? in()->focusChild() : nullptr; }
  QAccessibleInterface* childAt(int x, int y) const override {
    return in() ? in()->childAt(x, y) : nullptr;
  }
  QAccessibleInterface* parent() const override { return in() ? in()->parent() : nullptr; }
  QAccessibleInterface* child(int index) const override {
    return in() ? in()->child(index) : nullptr;
  }
  int childCount() const override { return in() ? in()->childCount() : 0; }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return in() ? in()->indexOfChild(child) : -1;
  }
  QString text(QAccessible::Text t) const override { return in() ? in()->text(t) : QString(); }
  void setText(QAccessible::Text t, const QString& text) override {
    if (in()) in()->setText(t, text);
  }
  QRect rect() const override { return in() ? in()->rect() : QRect(); }
  QAccessible::Role role() const override { return in() ? in()->role() : QAccessible::NoRole; }
  QAccessible::State state() const override { return in() ? in()->state() : QAccessible::State(); }
  QColor foregroundColor() const override { return in() ? in()->foregroundColor() : QColor(); }
  QColor backgroundColor() const override { return in() ? in()->backgroundColor() : QColor(); }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return in() ? in()->interface_cast(type) : nullptr;
  }

 protected:
  QAccessibleInterface* in() const { return QAccessible::accessibleInterface(m_innerId); }

 private:
  QPointer<QObject> m_object;
  QAccessible::Id m_innerId;
};

// A combo box named by the accessible name given to it (the value stays the current item).
class NamedComboAccessible : public Forwarding {
 public:
  using Forwarding::Forwarding;
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && object()) {
      const QString name = static_cast<QWidget*>(object())->accessibleName();
      if (!name.isEmpty()) return name;
    }
    return Forwarding::text(t);
  }
};

// The application, with the pop-up menus that are open among its children: Qt leaves pop-ups
// out, so a context menu's items could not be found from the top while it showed.
class ApplicationAccessible : public Forwarding {
 public:
  using Forwarding::Forwarding;
  int childCount() const override {
    return Forwarding::childCount() + static_cast<int>(popups().size());
  }
  QAccessibleInterface* child(int index) const override {
    const int own = Forwarding::childCount();
    if (index < own) return Forwarding::child(index);
    const QList<QWidget*> open = popups();
    return index - own < open.size() ? QAccessible::queryAccessibleInterface(open[index - own])
                                     : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const int at = Forwarding::indexOfChild(child);
    if (at >= 0 || !child) return at;
    const QList<QWidget*> open = popups();
    for (qsizetype i = 0; i < open.size(); ++i) {
      if (open[i] == child->object()) return Forwarding::childCount() + static_cast<int>(i);
    }
    return -1;
  }

 private:
  static QList<QWidget*> popups() {
    QList<QWidget*> open;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      // A menu of the menu bar or a submenu is reached through its parent already.
      QWidget* parent = w->parentWidget();
      if (w->isVisible() && qobject_cast<QMenu*>(w) && !qobject_cast<QMenuBar*>(parent) &&
          !qobject_cast<QMenu*>(parent)) {
        open.push_back(w);
      }
    }
    return open;
  }
};

bool g_innerQuery = false;

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (g_innerQuery) return nullptr;
  if (auto* memo = qobject_cast<QPlainTextEdit*>(object)) return new MemoAccessible(memo);
  if (object == qApp) {
    g_innerQuery = true;
    QAccessibleInterface* inner = QAccessible::queryAccessibleInterface(object);
    g_innerQuery = false;
    return inner ? new ApplicationAccessible(object, inner) : nullptr;
  }
  if (auto* combo = qobject_cast<QComboBox*>(object)) {
    g_innerQuery = true;
    QAccessibleInterface* inner = QAccessible::queryAccessibleInterface(combo);
    g_innerQuery = false;
    return inner ? new NamedComboAccessible(combo, inner) : nullptr;
  }
  return nullptr;
}

}  // namespace

void InstallAccessibles() {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace toravin
