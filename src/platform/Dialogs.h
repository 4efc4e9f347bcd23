// What the crawl engine asks of the user interface besides its controls: message boxes and
// sounds, the text input box, the file-save dialog and the clipboard. All texts are CP932.
// The desktop program implements it with Qt; tests and the headless tool record the calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace toravin {

// Kinds of message box; mtCustom is the plain box (no icon, no kind sound).
enum class MsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Button sets are bit masks of these.
enum MsgDlgBtn : unsigned { mbYes = 1u << 0, mbNo = 1u << 1, mbOK = 1u << 2, mbCancel = 1u << 3 };
using MsgDlgButtons = unsigned;
constexpr MsgDlgButtons mbOKOnly = mbOK;
constexpr MsgDlgButtons mbYesNo = mbYes | mbNo;

enum class ModalResult { mrNone, mrOk, mrCancel, mrYes, mrNo };

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Plays the system sound of the kind (exclamation, hand, asterisk, question; none for
  // mtCustom).
  virtual void PlayKindSound(MsgDlgType kind) = 0;

  // A modal message dialog of a kind with the given buttons; no sound of its own. Returns the
  // button pressed (mrNo when the box is closed with Esc and No is offered).
  virtual ModalResult MessageDlg(std::string_view text, MsgDlgType kind, MsgDlgButtons buttons,
                                 int helpContext) = 0;

  // The plain box: no icon, an OK button.
  virtual void ShowMessage(std::string_view text) = 0;

  // The default system sound.
  virtual void Beep() = 0;

  // A text input box; returns the typed text, or `defaultText` when it is cancelled.
  virtual std::string InputBox(std::string_view caption, std::string_view prompt,
                               std::string_view defaultText) = 0;

  // A file-save dialog with a filter ("text|pattern|text|pattern") and a default extension that
  // is appended to a name typed without one; a title and an initial directory where given (the
  // platform's own otherwise). Returns the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> SaveFileName(std::string_view filter,
                                                  std::string_view defaultExt,
                                                  std::string_view title = {},
                                                  std::string_view initialDir = {}) = 0;

  // The clipboard's plain text, or nothing when it holds no text.
  virtual std::optional<std::string> ClipboardText() = 0;
};

// The name of a kind as the headless tool prints it.
inline const char* KindName(MsgDlgType kind) {
  switch (kind) {
    case MsgDlgType::mtWarning:
      return "warning";
    case MsgDlgType::mtError:
      return "error";
    case MsgDlgType::mtInformation:
      return "information";
    case MsgDlgType::mtConfirmation:
      return "confirmation";
    case MsgDlgType::mtCustom:
      break;
  }
  return "plain";
}

}  // namespace toravin
