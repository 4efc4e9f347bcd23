// Painting is one line: background, then the marks-and-number block placed by the alignments
// inside the margins, highlighted when everything is selected, and a caret as high as the font's
// character height behind the typed part of the number (fixed zeros stand after it). Keys that the
// dialog needs (Return without EnterFocusMove, Escape, Tab) are left to the dialog.
#include "ui/NumEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include "ui/NumEditAccessible.h"
#include "ui/QtText.h"

namespace toravin {

TNumEdit::TNumEdit(QWidget* parent, TNumEditModel* model) : QWidget(parent) {
  if (!model) {
    m_own = std::make_unique<TNumEditModel>();
    model = m_own.get();
  }
  m_model = model;
  m_model->OnChange = [this] {
    refresh();
    emit changed();
  };
  m_model->OnBeep = [] { QApplication::beep(); };
  m_model->Fits = [this](const std::string& image) {
    const int inner = width() - m_margins.left() - m_margins.right() - 2 * frameWidth();
    return fontMetrics().horizontalAdvance(FromSjis(image)) <= inner;
  };
  m_disabledColor = palette().color(QPalette::Disabled, QPalette::Text);
  setCursor(Qt::IBeamCursor);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled, true);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  resize(121, 20);
  NumEditAccessible::Install();
  m_announced = text();
  connect(&m_blink, &QTimer::timeout, this, [this] {
    m_caretOn = !m_caretOn;
    update(caretRect());
  });
}

void TNumEdit::restartBlink() {
  m_caretOn = true;
  const int flash = QApplication::cursorFlashTime();
  if (hasFocus() && flash > 0) {
    m_blink.start(flash / 2);
  } else {
    m_blink.stop();
  }
}

TNumEdit::~TNumEdit() {
  m_model->OnChange = nullptr;
  m_model->OnBeep = nullptr;
  m_model->Fits = nullptr;
}

QString TNumEdit::text() const { return FromSjis(m_model->Text()); }

void TNumEdit::setText(const QString& text) {
  m_model->SetText(ToSjis(text));
  refresh();
}

void TNumEdit::setUserText(const QString& text) {
  if (m_model->ReadOnly) {
    if (m_model->ErrorBeep) QApplication::beep();
    return;
  }
  m_model->SelectAll();
  m_model->Paste(ToSjis(text));
  refresh();
}

void TNumEdit::refresh() {
  update();
  announce();
}

void TNumEdit::announce() {
  const QString now = text();
  if (now == m_announced) return;
  QAccessibleTextUpdateEvent text(this, 0, m_announced, now);
  QAccessible::updateAccessibility(&text);
  QAccessibleValueChangeEvent value(this, now);
  QAccessible::updateAccessibility(&value);
  m_announced = now;
}

QString TNumEdit::imageText() const { return FromSjis(m_model->ImageText()); }

void TNumEdit::setAlignment(Alignment a) {
  m_alignment = a;
  update();
}

void TNumEdit::setVertAlignment(VertAlignment a) {
  m_vertAlignment = a;
  update();
}

void TNumEdit::setMargins(int left, int top, int right, int bottom) {
  if (left >= 0) m_margins.setLeft(left);
  if (top >= 0) m_margins.setTop(top);
  if (right >= 0) m_margins.setRight(right);
  if (bottom >= 0) m_margins.setBottom(bottom);
  applyAutoSize();
  update();
}

void TNumEdit::setAutoSize(bool on) {
  m_autoSize = on;
  applyAutoSize();
}

void TNumEdit::setBorderStyle(BorderStyle b) {
  m_border = b;
  applyAutoSize();
  update();
}

void TNumEdit::setDisabledColor(const QColor& c) {
  m_disabledColor = c;
  update();
}

// The character height of the font: what a line of text occupies in the control.
int TNumEdit::letterHeight() const {
  const int px = font().pixelSize();
  return px > 0 ? px : fontMetrics().height();
}

void TNumEdit::applyAutoSize() {
  if (!m_autoSize) return;
  resize(width(), letterHeight() + m_margins.top() + m_margins.bottom() + 2 * frameWidth());
}

QPoint TNumEdit::textOrigin(int textWidth) const {
  const int f = frameWidth();
  const int left = f + m_margins.left();
  const int right = width() - f - m_margins.right();
  const int top = f + m_margins.top();
  const int bottom = height() - f - m_margins.bottom();
  int x = left;
  if (m_alignment == taRightJustify) x = right - textWidth;
  if (m_alignment == taCenter) x = left + (right - left - textWidth) / 2;
  const int h = letterHeight();
  int y = top;
  if (m_vertAlignment == taBottomJustify) y = bottom - h;
  if (m_vertAlignment == taVCenter) y = top + (bottom - top - h) / 2;
  return {x, y};
}

QRect TNumEdit::caretRect() const {
  if (!hasFocus()) return {};
  const QFontMetrics fm = fontMetrics();
  const QString display = FromSjis(m_model->DisplayText());
  const QString left = display.isEmpty() ? QString() : FromSjis(m_model->LeftMark);
  const QString right = display.isEmpty() ? QString() : FromSjis(m_model->RightMark);
  const QPoint o = textOrigin(fm.horizontalAdvance(left + display + right));
  const int before =
      fm.horizontalAdvance(left + display.left(static_cast<int>(m_model->CaretIndex())));
  return QRect(o.x() + before, o.y(), font().bold() ? 2 : 1, letterHeight());
}

void TNumEdit::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  p.fillRect(rect(), pal.color(QPalette::Base));
  if (m_border == bsSingle) {
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.lineWidth = frameWidth();
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_FrameLineEdit, &frame, &p, this);
  }
  const QString image = imageText();
  const QFontMetrics fm = fontMetrics();
  const int w = fm.horizontalAdvance(image);
  const QPoint o = textOrigin(w);
  const QRect textRect(o.x(), o.y(), w, letterHeight());
  const bool selected = m_model->AllSelected() && !image.isEmpty() && isEnabled();
  if (selected) p.fillRect(textRect, pal.color(QPalette::Highlight));
  p.setPen(!isEnabled() ? m_disabledColor
                        : pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
  p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, image);
  const QRect caret = caretRect();
  if (!caret.isEmpty() && m_caretOn) p.fillRect(caret, pal.color(QPalette::Text));
}

void TNumEdit::handled(TNumEditModel::KeyResult r) {
  if (r == TNumEditModel::KeyResult::FocusNext) focusNextChild();
  refresh();
}

void TNumEdit::copy() {
  if (std::optional<std::string> t = m_model->Copy())
    QApplication::clipboard()->setText(FromSjis(*t));
}

void TNumEdit::cut() {
  if (std::optional<std::string> t = m_model->Cut())
    QApplication::clipboard()->setText(FromSjis(*t));
  refresh();
}

void TNumEdit::paste() {
  const QString clip = QApplication::clipboard()->text();
  if (clip.isEmpty()) return;
  m_model->Paste(ToSjis(clip));
  refresh();
}

void TNumEdit::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool ctrl = mods & Qt::ControlModifier;
  const int key = event->key();
  if (ctrl && key == Qt::Key_A) {
    m_model->SelectAll();
  } else if (ctrl && key == Qt::Key_C) {
    copy();
  } else if (ctrl && key == Qt::Key_X) {
    if (!m_model->ReadOnly) cut();
  } else if (ctrl && key == Qt::Key_V) {
    if (!m_model->ReadOnly) paste();
  } else if ((key == Qt::Key_Left || key == Qt::Key_Right) && (mods & Qt::ShiftModifier)) {
    m_model->SelectAll();
  } else if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home ||
             key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
    m_model->DropSelection();
  } else if (key == Qt::Key_Up || key == Qt::Key_Down) {
    m_model->DropSelection();
    if (m_model->ArrowFocusMove) {
      if (key == Qt::Key_Up && (m_model->Options & eoArrowUp)) focusPreviousChild();
      if (key == Qt::Key_Down && (m_model->Options & eoArrowDown)) focusNextChild();
    }
  } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (!m_model->EnterFocusMove) {
      event->ignore();  // the dialog's default button
      return;
    }
    handled(m_model->KeyChar('\r'));
  } else if (key == Qt::Key_Backspace) {
    handled(m_model->KeyChar('\b'));
  } else if (key == Qt::Key_Delete) {
    handled(m_model->KeyChar(0x7F));
  } else if (key == Qt::Key_Escape || key == Qt::Key_Tab || key == Qt::Key_Backtab || ctrl ||
             event->text().isEmpty()) {
    event->ignore();
    return;
  } else {
    // Characters; a full-width digit typed without an input method converts as one would.
    const std::string typed = ToSjis(event->text());
    if (typed.size() == 1) {
      handled(m_model->KeyChar(typed[0]));
    } else if (!m_model->InputMethodText(typed) && m_model->ErrorBeep) {
      QApplication::beep();
    }
  }
  restartBlink();
  refresh();
}

void TNumEdit::inputMethodEvent(QInputMethodEvent* event) {
  // Only committed text reaches the value, and only as the text rule's first step converts it:
  // full-width digits, "－" and "．" arrive as their single-byte forms, anything else is refused.
  const QString commit = event->commitString();
  if (!commit.isEmpty()) {
    const std::string text = ToSjis(commit);
    // Refused characters beep in the model; a commit with nothing convertible beeps here.
    if (TNumEditModel::ConvertWide(text).empty()) {
      if (m_model->ErrorBeep) QApplication::beep();
    } else {
      m_model->InputMethodText(text);
    }
  }
  event->accept();
  refresh();
}

QVariant TNumEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return isEnabled() && !m_model->ReadOnly;
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhFormattedNumbersOnly | Qt::ImhNoPredictiveText);
    case Qt::ImCursorRectangle:
      return caretRect();
    case Qt::ImSurroundingText:
      return text();
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
      return static_cast<int>(m_model->Text().size());
    default:
      return QWidget::inputMethodQuery(query);
  }
}

void TNumEdit::focusInEvent(QFocusEvent* event) {
  if (event->reason() != Qt::PopupFocusReason) m_model->FocusEnter();
  QWidget::focusInEvent(event);
  restartBlink();
  refresh();
}

void TNumEdit::focusOutEvent(QFocusEvent* event) {
  if (event->reason() != Qt::PopupFocusReason) m_model->FocusExit();
  QWidget::focusOutEvent(event);
  restartBlink();
  refresh();
}

void TNumEdit::mousePressEvent(QMouseEvent* event) {
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  if (event->button() == Qt::LeftButton) {
    m_model->DropSelection();
    m_dragging = true;
  }
  refresh();
}

void TNumEdit::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging && (event->buttons() & Qt::LeftButton)) {
    m_model->SelectAll();
    refresh();
  }
}

void TNumEdit::mouseReleaseEvent(QMouseEvent*) { m_dragging = false; }

void TNumEdit::mouseDoubleClickEvent(QMouseEvent*) {
  m_dragging = false;
  m_model->SelectAll();
  refresh();
}

std::unique_ptr<QMenu> TNumEdit::createContextMenu() {
  auto menu = std::make_unique<QMenu>();
  const TNumEditModel::MenuState s = m_model->Menu(!QApplication::clipboard()->text().isEmpty());
  auto add = [&](const char* name, const char* caption, bool enabled, auto&& run) {
    QAction* a = menu->addAction(Ui(caption));
    a->setObjectName(QString::fromLatin1(name));
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, [this, run] {
      run();
      refresh();
    });
  };
  add("Undo", "元に戻す(&U)", s.undo, [this] { m_model->Undo(); });
  menu->addSeparator();
  add("Cut", "切り取り(&T)", s.cut, [this] { cut(); });
  add("Copy", "コピー(&C)", s.copy, [this] { copy(); });
  add("Paste", "貼り付け(&P)", s.paste, [this] { paste(); });
  add("Delete", "削除(&D)", s.del, [this] { m_model->DeleteSelection(); });
  menu->addSeparator();
  add("SelectAll", "すべて選択(&A)", s.selectAll, [this] { m_model->SelectAll(); });
  return menu;
}

void TNumEdit::contextMenuEvent(QContextMenuEvent* event) {
  setFocus(Qt::PopupFocusReason);
  if (m_popup) {
    m_popup->exec(event->globalPos());
    return;
  }
  std::unique_ptr<QMenu> menu = createContextMenu();
  menu->exec(event->globalPos());
}

void TNumEdit::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) applyAutoSize();
  QWidget::changeEvent(event);
}

}  // namespace toravin
