// TNumEdit on Qt: a self-drawn one-line edit for numbers. The value logic is TNumEditModel's;
// this widget paints the display text with its marks at the place its alignment and margins
// give, draws the caret behind the typed number, turns keys, mouse, focus, input-method text
// and the context menu into the model's operations, and emits changed() for OnChange.
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "main/NumEditModel.h"

class QMenu;

namespace toravin {

class TNumEdit : public QWidget {
  Q_OBJECT

 public:
  enum Alignment { taLeftJustify, taRightJustify, taCenter };
  enum VertAlignment { taTopJustify, taBottomJustify, taVCenter };
  enum BorderStyle { bsNone, bsSingle };

  // Edits `model` when given (it must outlive the widget), else a model of its own.
  explicit TNumEdit(QWidget* parent = nullptr, TNumEditModel* model = nullptr);
  ~TNumEdit() override;

  TNumEditModel& model() { return *m_model; }
  const TNumEditModel& model() const { return *m_model; }

  // The value text (the platform's get-text), and setting it through the text rule.
  QString text() const;
  void setText(const QString& text);
  // An edit of the whole value by the user (assistive technology's set-text): through the text
  // rule, with undo and changed(); refused while ReadOnly.
  void setUserText(const QString& text);
  // Shows the model again after it was changed from outside (a dialog's FormShow), and tells
  // assistive technology when the value changed.
  void refresh();
  // The display text with marks, as painted.
  QString imageText() const;

  Alignment alignment() const { return m_alignment; }
  void setAlignment(Alignment a);
  VertAlignment vertAlignment() const { return m_vertAlignment; }
  void setVertAlignment(VertAlignment a);
  // Negative margins are ignored.
  void setMargins(int left, int top, int right, int bottom);
  QMargins margins() const { return m_margins; }
  bool autoSize() const { return m_autoSize; }
  void setAutoSize(bool on);
  BorderStyle borderStyle() const { return m_border; }
  void setBorderStyle(BorderStyle b);
  QColor disabledColor() const { return m_disabledColor; }
  void setDisabledColor(const QColor& c);
  // Another popup menu instead of the control's own; nullptr for the own one.
  void setPopupMenu(QMenu* menu) { m_popup = menu; }

  // The control's own context menu with the items enabled as the model says (the caller owns
  // it). Items are named Undo, Cut, Copy, Paste, Delete, SelectAll.
  std::unique_ptr<QMenu> createContextMenu();
  // Where the caret is drawn (empty when the control has no focus).
  QRect caretRect() const;
  // The frame's width on each side.
  int frameWidth() const { return m_border == bsSingle ? 2 : 0; }

  QSize sizeHint() const override { return {121, 20}; }
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 signals:
  void changed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void applyAutoSize();
  int letterHeight() const;
  // Left edge of the marks-and-number block, and the text's top.
  QPoint textOrigin(int textWidth) const;
  void copy();
  void cut();
  void paste();
  void handled(TNumEditModel::KeyResult r);
  void restartBlink();
  // Tells assistive technology of a change of the value since it was last told.
  void announce();

  std::unique_ptr<TNumEditModel> m_own;
  TNumEditModel* m_model;
  Alignment m_alignment = taRightJustify;
  VertAlignment m_vertAlignment = taVCenter;
  QMargins m_margins{2, 2, 2, 2};
  bool m_autoSize = true;
  BorderStyle m_border = bsSingle;
  QColor m_disabledColor;
  QMenu* m_popup = nullptr;
  bool m_dragging = false;
  // The caret blinks at the desktop's rate while the control has the focus.
  QTimer m_blink;
  bool m_caretOn = true;
  QString m_announced;  // the value assistive technology last heard of
};

}  // namespace toravin
