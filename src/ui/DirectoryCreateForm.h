// TDirectoryCreateForm on Qt: the name edit and the two buttons of its layout table, bound to a
// TDirectoryCreateModel. The edit shows the native path readably; the preset's own bytes are kept
// for the part of the text the user left as it was, so a directory whose name is not UTF-8 can
// still be extended.
#pragma once

#include <QDialog>
#include <memory>

#include "main/DirectoryCreateModel.h"
#include "ui/ControlTable.h"

namespace toravin {

class TDirectoryCreateForm : public QDialog {
  Q_OBJECT

 public:
  TDirectoryCreateForm(QWidget* owner, TDirectoryCreateModel& model);
  ~TDirectoryCreateForm() override;

  TDirectoryCreateModel& model() { return m_model; }
  const ControlTable& controls() const { return *m_controls; }
  const std::vector<QWidget*>& tabOrder() const { return m_tabs; }
  // The native path for what the edit shows.
  std::string nativeText() const;

  void reject() override;

 private:
  TDirectoryCreateModel& m_model;
  std::unique_ptr<ControlTable> m_controls;
  std::vector<QWidget*> m_tabs;
  std::string m_preset;
  QString m_presetShown;
};

}  // namespace toravin
