// TExtraSettingForm on Qt: the options dialog's controls from their layout table, bound to a
// TExtraSettingFormModel, built like the settings dialog it is opened from.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "main/ExtraSettingFormModel.h"
#include "ui/ControlTable.h"

namespace toravin {

class TExtraSettingForm : public QDialog {
  Q_OBJECT

 public:
  TExtraSettingForm(QWidget* owner, TExtraSettingFormModel& model);
  ~TExtraSettingForm() override;

  TExtraSettingFormModel& model() { return m_model; }
  const ControlTable& controls() const { return *m_controls; }
  const std::vector<QWidget*>& tabOrder() const { return m_tabs; }
  void syncFromModel();

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void bind();
  void confirm();

  TExtraSettingFormModel& m_model;
  std::unique_ptr<ControlTable> m_controls;
  std::vector<QWidget*> m_tabs;
  bool m_shown = false;
};

}  // namespace toravin
