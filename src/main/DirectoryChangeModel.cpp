// The preset follows the main window: the save directory when it names an existing directory,
// otherwise the directory the program started in, otherwise the home directory or the root, so
// the list always stands on a real directory.
#include "main/DirectoryChangeModel.h"

#include <unistd.h>

#include <cstdlib>

#include "main/DirectoryCreateModel.h"
#include "main/DirectoryName.h"
#include "main/DriveList.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin {

TDirectoryChangeModel::TDirectoryChangeModel(TFormModel& mainForm, Dialogs& dialogs,
                                             std::string startDir)
    : m_main(mainForm), m_dialogs(dialogs) {
  const char* home = std::getenv("HOME");
  Drives = DriveList(home ? home : "");
  ChangeCurrentDirectory = [](const std::string& dir) {
    if (::chdir(dir.c_str()) != 0) {
      // The list still shows the directory; the free-space test measures the old one.
    }
  };
  const std::string& typed = m_main.DirectoryEdit.Text;
  std::string start;
  if (DirectoryExists(typed)) {
    start = NativePath(typed);
  } else if (DirectoryExists(startDir)) {
    start = NativePath(startDir);
  } else {
    start = home && DirectoryExists(home) ? home : "/";
  }
  m_directory = TDirectoryCreateModel::StripTrailingSeparators(start);
}

std::string TDirectoryChangeModel::Drive() const { return DriveOf(Drives, m_directory); }

void TDirectoryChangeModel::SetDirectory(std::string nativePath) {
  m_directory = TDirectoryCreateModel::StripTrailingSeparators(std::move(nativePath));
  if (ChangeCurrentDirectory) ChangeCurrentDirectory(m_directory);
}

void TDirectoryChangeModel::OKButtonClick() {
  std::optional<std::string> crawlPath = CrawlPath(m_directory);
  if (!crawlPath) {
    m_dialogs.PlayKindSound(MsgDlgType::mtWarning);
    m_dialogs.MessageDlg(Sjis("このディレクトリーの名前にはShift-JISで表せない文字が含まれてい"
                              "るため、保存先にできません。"),
                         MsgDlgType::mtWarning, mbOKOnly, 0);
    return;
  }
  m_main.DirectoryEdit.Text = *crawlPath;
  Result = ModalResult::mrOk;
}

}  // namespace toravin
