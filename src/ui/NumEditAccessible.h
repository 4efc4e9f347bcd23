// The numeric edit as assistive technology sees it: an editable text whose text is the value,
// named by its label (or accessible name), described by its tooltip, with the text, editable-text
// and value interfaces, so a screen reader reads the number and can type or set one. Edits made
// this way go through the text rule, as pasted text does.
#pragma once

#include <QAccessibleWidget>

namespace toravin {

class TNumEdit;

class NumEditAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface,
                          public QAccessibleValueInterface {
 public:
  explicit NumEditAccessible(TNumEdit* edit);

  // Makes Qt's accessibility use this class for every TNumEdit (once per process).
  static void Install();

  void* interface_cast(QAccessible::InterfaceType type) override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text t, const QString& text) override;

  // Text: the value text.
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

  // Editable text: the result goes through the text rule.
  void deleteText(int startOffset, int endOffset) override;
  void insertText(int offset, const QString& text) override;
  void replaceText(int startOffset, int endOffset, const QString& text) override;

  // Value: the number.
  QVariant currentValue() const override;
  void setCurrentValue(const QVariant& value) override;
  QVariant maximumValue() const override;
  QVariant minimumValue() const override;
  QVariant minimumStepSize() const override;

 private:
  TNumEdit* edit() const;
  QString value() const;
};

}  // namespace toravin
