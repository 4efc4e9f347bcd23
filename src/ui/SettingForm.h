// TSettingForm on Qt: the settings dialog's controls from their layout table, bound to a
// TSettingFormModel. Check boxes write their state into the model and call its click handlers;
// edits write their text; the dialog then shows the model's enabled states again.
#pragma once

#include <QDialog>
#include <memory>

#include "main/SettingFormModel.h"
#include "ui/ControlTable.h"

namespace toravin {

class TNumEdit;

class TSettingForm : public QDialog {
  Q_OBJECT

 public:
  TSettingForm(QWidget* owner, TSettingFormModel& model);
  ~TSettingForm() override;

  TSettingFormModel& model() { return m_model; }
  const ControlTable& controls() const { return *m_controls; }
  // The tab chain, first stop first.
  const std::vector<QWidget*>& tabOrder() const { return m_tabs; }
  // Copies the model's states and texts onto the widgets.
  void syncFromModel();

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void bind();
  void confirm();

  TSettingFormModel& m_model;
  std::unique_ptr<ControlTable> m_controls;
  std::vector<QWidget*> m_tabs;
  bool m_shown = false;
};

}  // namespace toravin
