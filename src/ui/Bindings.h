// Rules every window and dialog built from a control table follows, in one place so that a new
// dialog gets them by calling these helpers:
// - a check box's handler runs whenever its state changes: a click, the Space key, or an
//   assistive technology's "toggle" action (which changes the state without a click);
// - a fixed-size dialog has a title bar with a close button and nothing else;
// - a window lies wholly on the screen that shows it, whatever the scale factor;
// - a status text is read by screen readers as what it shows.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QAbstractButton;
class QLabel;
class QWidget;

namespace toravin {

// Binds a check box to the Boolean of its model: whenever the box's state changes and differs
// from `checked`, `checked` takes the new state and `handler` (when given) runs. A state set from
// the model (equal to it already) runs nothing, so showing the model never re-runs a handler.
// `checked` must outlive the box.
void BindCheckBox(QAbstractButton* box, bool& checked, std::function<void()> handler = {});

// The frame of a dialog of fixed size: a title and a close button, no minimise or maximise.
Qt::WindowFlags FixedDialogFlags();

// Moves `window` so that its frame lies on the available area of the screen that shows it; a
// window larger than that area goes to its top-left corner.
void KeepOnScreen(QWidget* window);

// Applies KeepOnScreen to every top-level window of the application as it is shown. One per
// application; creating it again is harmless.
class ScreenFit : public QObject {
 public:
  static void Install();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using QObject::QObject;
};

// Shows `text` in a status-bar label whose role is `role` ("状態"): the label's accessible name
// is the text shown (the role while it is empty) and its description the role, and screen
// readers are told of the change.
void ShowStatusText(QLabel* label, const QString& text, const QString& role);

}  // namespace toravin
