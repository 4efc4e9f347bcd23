// Creation goes from the outside in: the parent is made first by the same steps, then the
// directory itself. A path counts as made only when a directory stands there afterwards, so a
// file of that name is a failure and never a silent success.
#include "main/DirectoryCreateModel.h"

#include <sys/stat.h>

#include "platform/Cp932.h"

namespace toravin {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string TDirectoryCreateModel::StripTrailingSeparators(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

TDirectoryCreateModel::Outcome TDirectoryCreateModel::MakeDirectory(std::string path) {
  if (path.empty()) return Outcome::NoName;
  path = StripTrailingSeparators(std::move(path));
  // The root is the file system's counterpart of a drive: it always exists.
  if (path == "/" || IsDirectory(path)) return Outcome::Created;
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return Outcome::NoName;
  const Outcome parent = MakeDirectory(slash == 0 ? std::string("/") : path.substr(0, slash));
  if (parent != Outcome::Created) return parent;
  ::mkdir(path.c_str(), 0777);
  return IsDirectory(path) ? Outcome::Created : Outcome::Failed;
}

void TDirectoryCreateModel::OKButtonClick() {
  switch (MakeDirectory(Text)) {
    case Outcome::Created:
      Created = StripTrailingSeparators(Text);
      Result = ModalResult::mrOk;
      return;
    case Outcome::NoName:
      m_dialogs.PlayKindSound(MsgDlgType::mtError);
      m_dialogs.MessageDlg(Sjis("ディレクトリを作成することができません"), MsgDlgType::mtError,
                           mbOKOnly, 0);
      return;
    case Outcome::Failed:
      m_dialogs.PlayKindSound(MsgDlgType::mtWarning);
      m_dialogs.MessageDlg(Sjis("ディレクトリーを作成することができませんでした。"),
                           MsgDlgType::mtWarning, mbOKOnly, 0);
      return;
  }
}

}  // namespace toravin
