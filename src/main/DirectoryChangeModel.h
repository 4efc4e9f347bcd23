// The directory-change dialog without a toolkit: the drive list, the list's current directory
// (a native path), the preset from the main window's save directory, and OK, which hands the
// choice to the crawl only when the crawl's CP932 path leads back to exactly that directory.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "main/FormModel.h"
#include "platform/Dialogs.h"

namespace toravin {

class TDirectoryChangeModel {
 public:
  // `startDir` is the directory the program started in (CP932), used when the save directory
  // does not exist.
  TDirectoryChangeModel(TFormModel& mainForm, Dialogs& dialogs, std::string startDir);

  std::vector<std::string> Drives;  // native paths
  // The drive that holds the current directory.
  std::string Drive() const;

  // The list's current directory (native, no trailing "/" except the root).
  const std::string& Directory() const { return m_directory; }
  // Moves the list; the directory becomes the process's current directory.
  void SetDirectory(std::string nativePath);
  // Selecting a drive moves the list to it.
  void SelectDrive(const std::string& drive) { SetDirectory(drive); }

  // OK: writes the directory into the main window's DirectoryEdit and closes with mrOk; a
  // directory the crawl could not reach by name is refused with a warning and the dialog stays.
  void OKButtonClick();
  void CancelButtonClick() { Result = ModalResult::mrCancel; }
  // The create dialog's preset: the list's current directory.
  const std::string& CreatePreset() const { return m_directory; }
  // After the create dialog made `created`: the list moves there.
  void DirectoryCreated(const std::string& created) { SetDirectory(created); }

  ModalResult Result = ModalResult::mrNone;
  Dialogs& Dlg() { return m_dialogs; }

  // Changes the process's current directory; replaceable for tests.
  std::function<void(const std::string&)> ChangeCurrentDirectory;

 private:
  TFormModel& m_main;
  Dialogs& m_dialogs;
  std::string m_directory;
};

}  // namespace toravin
