// The directory-create dialog without a toolkit: the path typed (a native path, as the file
// system spells it) and the creation of it and of every missing parent, with the dialog's
// messages. Works on native paths so that any name the tree shows can be extended, whether or
// not Shift-JIS can spell it.
#pragma once

#include <string>

#include "platform/Dialogs.h"

namespace toravin {

class TDirectoryCreateModel {
 public:
  enum class Outcome {
    Created,  // the directory exists now (made here, or it was there already)
    NoName,   // an empty text or a bare name without a parent directory
    Failed,   // creating a directory failed (no permission, a file of that name, ...)
  };

  explicit TDirectoryCreateModel(Dialogs& dialogs) : m_dialogs(dialogs) {}

  // The path in DirectoryCreateEdit (native bytes; "/" separates).
  std::string Text;

  // Creates `path` and its missing parents; no message.
  static Outcome MakeDirectory(std::string path);
  // The path without its trailing separators (the root stays "/").
  static std::string StripTrailingSeparators(std::string path);

  // OK: creates the directory; on success Created holds it and Result is mrOk, on failure the
  // message is shown and the dialog stays open (Result mrNone).
  void OKButtonClick();
  void CancelButtonClick() { Result = ModalResult::mrCancel; }

  ModalResult Result = ModalResult::mrNone;
  std::string Created;

 private:
  Dialogs& m_dialogs;
};

}  // namespace toravin
