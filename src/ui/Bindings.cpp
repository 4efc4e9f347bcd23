#include "ui/Bindings.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace toravin {

void BindCheckBox(QAbstractButton* box, bool& checked, std::function<void()> handler) {
  // `toggled` comes with every change of state, however it was made; `clicked` only with a click
  // or a key, and not with the accessibility action.
  QObject::connect(box, &QAbstractButton::toggled, box,
                   [&checked, handler = std::move(handler)](bool on) {
                     if (checked == on) return;  // shown from the model
                     checked = on;
                     if (handler) handler();
                   });
}

Qt::WindowFlags FixedDialogFlags() {
  return Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
         Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
}

namespace {

// The frame a window manager puts around a window, as last seen on a mapped window of this
// application; before any is seen, room for a title bar.
QMargins& KnownFrame() {
  static QMargins frame(0, 30, 0, 0);
  return frame;
}

QMargins FrameOf(QWidget* w) {
  const QRect outer = w->frameGeometry();
  const QRect inner = w->geometry();
  if (outer != inner && outer.contains(inner)) {
    KnownFrame() = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                            outer.right() - inner.right(), outer.bottom() - inner.bottom());
    return KnownFrame();
  }
  // Mapped without a frame: there is no window manager.
  const QWindow* handle = w->windowHandle();
  return handle && handle->isExposed() ? QMargins() : KnownFrame();
}

int Clamp(int at, int size, int low, int room) {
  if (size > room) return low;
  return std::clamp(at, low, low + room - size);
}

}  // namespace

void KeepOnScreen(QWidget* window) {
  const QMargins m = FrameOf(window);
  const QSize size = window->size().grownBy(m);
  const QPoint at = window->pos();  // a window's position is its frame's
  QScreen* screen = QGuiApplication::screenAt(QRect(at, size).center());
  if (!screen) screen = window->screen();
  if (!screen) return;
  const QRect room = screen->availableGeometry();
  const QPoint to(Clamp(at.x(), size.width(), room.left(), room.width()),
                  Clamp(at.y(), size.height(), room.top(), room.height()));
  if (to != at) window->move(to);
}

void ScreenFit::Install() {
  static QPointer<ScreenFit> installed;
  if (installed || !qApp) return;
  installed = new ScreenFit(qApp);
  qApp->installEventFilter(installed);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    const Qt::WindowType type = w->windowType();
    if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog)) {
      KeepOnScreen(w);
      // Once the window manager has framed it, the true frame is known: check again.
      QTimer::singleShot(300, w, [w] { KeepOnScreen(w); });
    }
  }
  return QObject::eventFilter(watched, event);
}

void ShowStatusText(QLabel* label, const QString& text, const QString& role) {
  if (label->text() == text && label->accessibleDescription() == role) return;
  label->setText(text);
  label->setAccessibleDescription(role);
  label->setAccessibleName(text.isEmpty() ? role : text);  // tells of the change (NameChanged)
  QAccessibleValueChangeEvent changed(label, text);
  QAccessible::updateAccessibility(&changed);
}

}  // namespace toravin
