#include "ui/NumEditAccessible.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "ui/NumEdit.h"

namespace toravin {
namespace {

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* edit = qobject_cast<TNumEdit*>(object)) return new NumEditAccessible(edit);
  return nullptr;
}

}  // namespace

NumEditAccessible::NumEditAccessible(TNumEdit* edit)
    : QAccessibleWidget(edit, QAccessible::EditableText) {}

void NumEditAccessible::Install() {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  (void)installed;
}

TNumEdit* NumEditAccessible::edit() const { return static_cast<TNumEdit*>(widget()); }

QString NumEditAccessible::value() const { return edit()->text(); }

void* NumEditAccessible::interface_cast(QAccessible::InterfaceType type) {
  switch (type) {
    case QAccessible::TextInterface:
      return static_cast<QAccessibleTextInterface*>(this);
    case QAccessible::EditableTextInterface:
      if (edit()->model().ReadOnly) return nullptr;
      return static_cast<QAccessibleEditableTextInterface*>(this);
    case QAccessible::ValueInterface:
      return static_cast<QAccessibleValueInterface*>(this);
    default:
      return QAccessibleWidget::interface_cast(type);
  }
}

QAccessible::State NumEditAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.editable = !edit()->model().ReadOnly;
  s.readOnly = edit()->model().ReadOnly;
  s.selectableText = true;
  s.selected = edit()->model().AllSelected();
  return s;
}

QString NumEditAccessible::text(QAccessible::Text t) const {
  switch (t) {
    case QAccessible::Value:
      return value();
    case QAccessible::Description: {
      const QString described = widget()->accessibleDescription();
      return described.isEmpty() ? widget()->toolTip() : described;
    }
    default:
      return QAccessibleWidget::text(t);  // the name: accessible name, else the buddy label
  }
}

void NumEditAccessible::setText(QAccessible::Text t, const QString& text) {
  if (t == QAccessible::Value) {
    edit()->setUserText(text);
    return;
  }
  QAccessibleWidget::setText(t, text);
}

void NumEditAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
  if (selectionIndex == 0 && edit()->model().AllSelected()) *endOffset = characterCount();
}

int NumEditAccessible::selectionCount() const {
  return edit()->model().AllSelected() && characterCount() > 0 ? 1 : 0;
}

// The only selection there is: everything.
void NumEditAccessible::addSelection(int startOffset, int endOffset) {
  setSelection(0, startOffset, endOffset);
}

void NumEditAccessible::removeSelection(int) {
  edit()->model().DropSelection();
  edit()->update();
}

void NumEditAccessible::setSelection(int, int startOffset, int endOffset) {
  if (startOffset == endOffset) {
    edit()->model().DropSelection();
  } else {
    edit()->model().SelectAll();
  }
  edit()->update();
}

int NumEditAccessible::cursorPosition() const { return characterCount(); }

void NumEditAccessible::setCursorPosition(int) {}  // the caret stays behind the number

QString NumEditAccessible::text(int startOffset, int endOffset) const {
  const QString v = value();
  if (endOffset < 0 || endOffset > v.size()) endOffset = static_cast<int>(v.size());
  startOffset = std::clamp(startOffset, 0, endOffset);
  return v.mid(startOffset, endOffset - startOffset);
}

int NumEditAccessible::characterCount() const { return static_cast<int>(value().size()); }

QRect NumEditAccessible::characterRect(int) const {
  const QRect caret = edit()->caretRect();
  const QRect local = caret.isEmpty() ? edit()->rect() : caret;
  return QRect(edit()->mapToGlobal(local.topLeft()), local.size());
}

int NumEditAccessible::offsetAtPoint(const QPoint&) const { return characterCount(); }

void NumEditAccessible::scrollToSubstring(int, int) {}

QString NumEditAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
  *startOffset = 0;
  *endOffset = std::max(offset, characterCount());
  return {};
}

void NumEditAccessible::deleteText(int startOffset, int endOffset) {
  replaceText(startOffset, endOffset, QString());
}

void NumEditAccessible::insertText(int offset, const QString& text) {
  replaceText(offset, offset, text);
}

void NumEditAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
  const QString v = value();
  startOffset = std::clamp(startOffset, 0, static_cast<int>(v.size()));
  endOffset = std::clamp(endOffset, startOffset, static_cast<int>(v.size()));
  edit()->setUserText(v.left(startOffset) + text + v.mid(endOffset));
}

QVariant NumEditAccessible::currentValue() const {
  const QString v = value();
  bool ok = false;
  const double number = v.toDouble(&ok);
  return ok ? QVariant(number) : QVariant(0.0);
}

void NumEditAccessible::setCurrentValue(const QVariant& value) {
  edit()->setUserText(value.toString());
}

QVariant NumEditAccessible::maximumValue() const {
  return std::pow(10.0, edit()->model().IntegerLength()) - 1;
}

QVariant NumEditAccessible::minimumValue() const {
  return edit()->model().Minus() ? -maximumValue().toDouble() : 0.0;
}

QVariant NumEditAccessible::minimumStepSize() const {
  return std::pow(10.0, -edit()->model().DecimalLength());
}

}  // namespace toravin
