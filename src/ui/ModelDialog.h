// The steps every dialog over a toolkit-free model shares: the model's FormShow on the first
// show, and the confirm step that closes the dialog or puts the focus on the field the model
// names. The model has FormShow, YesBitBtnClick, Result and FocusControl.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "platform/Dialogs.h"
#include "ui/ControlTable.h"

namespace toravin {

// On the first show only: fills the model, shows it, and puts the focus on the first tab stop.
template <class Model>
void ShowModelFirstTime(bool& shown, Model& model, const std::vector<QWidget*>& tabs,
                        const std::function<void()>& sync) {
  if (shown) return;
  shown = true;
  model.FormShow();
  sync();
  if (!tabs.empty()) tabs.front()->setFocus(Qt::TabFocusReason);
}

// Runs the model's confirm; true when the dialog may close, otherwise the field the model names
// takes the focus.
template <class Model>
bool ConfirmModel(Model& model, const ControlTable& controls) {
  model.YesBitBtnClick();
  if (model.Result == ModalResult::mrOk) return true;
  if (!model.FocusControl.empty()) {
    if (QWidget* w = controls.widget(model.FocusControl)) w->setFocus(Qt::OtherFocusReason);
  }
  return false;
}

}  // namespace toravin
