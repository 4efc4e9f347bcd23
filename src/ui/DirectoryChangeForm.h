// TDirectoryChangeForm on Qt: the drive selector, the directory tree and the three buttons of its
// layout table, bound to a TDirectoryChangeModel. The tree's current item is the list's current
// directory; double click or Enter opens it.
#pragma once

#include <QDialog>
#include <memory>

#include "main/DirectoryChangeModel.h"
#include "ui/ControlTable.h"

class QComboBox;
class QTreeView;

namespace toravin {

class DirectoryTreeModel;

class TDirectoryChangeForm : public QDialog {
  Q_OBJECT

 public:
  TDirectoryChangeForm(QWidget* owner, TDirectoryChangeModel& model);
  ~TDirectoryChangeForm() override;

  TDirectoryChangeModel& model() { return m_model; }
  const ControlTable& controls() const { return *m_controls; }
  DirectoryTreeModel& tree() { return *m_tree; }
  QTreeView* treeView() const;
  QComboBox* driveBox() const;
  const std::vector<QWidget*>& tabOrder() const { return m_tabs; }

  // Moves the list to `path` (native): the drive that holds it, the path opened in the tree.
  void showDirectory(const std::string& path);
  // Creates the directory-create dialog preset to the list's directory and runs it.
  void createDirectory();

  void reject() override;

 private:
  void fillDrives();

  TDirectoryChangeModel& m_model;
  std::unique_ptr<ControlTable> m_controls;
  DirectoryTreeModel* m_tree = nullptr;
  std::vector<QWidget*> m_tabs;
  bool m_moving = false;
};

}  // namespace toravin
