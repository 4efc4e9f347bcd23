// The Dialogs interface on Qt: message boxes with the kind's icon and Japanese buttons, the plain
// box, beeps, the input box, the file-save dialog and the clipboard. Tests and the close-down path
// can answer boxes without showing them (an answerer), so a run can be driven offscreen.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "platform/Dialogs.h"

class QWidget;

namespace toravin {

class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
  void setOwner(QWidget* owner) { m_owner = owner; }

  // Answers a message box instead of showing it: (text as UTF-8, kind, buttons) -> the answer.
  // Returning nothing shows the box after all.
  using Answerer =
      std::function<std::optional<ModalResult>(const QString&, MsgDlgType, MsgDlgButtons)>;
  void setAnswerer(Answerer a) { m_answerer = std::move(a); }
  // Save dialogs answered the same way: (title, filter) -> the path (UTF-8), or cancel.
  using SaveAnswerer = std::function<std::optional<QString>(const QString&, const QString&)>;
  void setSaveAnswerer(SaveAnswerer a) { m_saveAnswerer = std::move(a); }
  // Runs before any box or dialog is shown (or answered): the owner brings its widgets up to
  // its model first, so that a box stands over the window as things are at that moment.
  void setBeforeModal(std::function<void()> f) { m_beforeModal = std::move(f); }

  // The caption of the plain box and the input box: the application's title.
  static QString ApplicationTitle();
  // Qt's filter string for a "text|pattern|text|pattern" filter.
  static QString QtFilter(std::string_view cp932Filter);

  void PlayKindSound(MsgDlgType kind) override;
  ModalResult MessageDlg(std::string_view text, MsgDlgType kind, MsgDlgButtons buttons,
                         int helpContext) override;
  void ShowMessage(std::string_view text) override;
  void Beep() override;
  std::string InputBox(std::string_view caption, std::string_view prompt,
                       std::string_view defaultText) override;
  std::optional<std::string> SaveFileName(std::string_view filter, std::string_view defaultExt,
                                          std::string_view title = {},
                                          std::string_view initialDir = {}) override;
  std::optional<std::string> ClipboardText() override;

 private:
  QWidget* m_owner;
  Answerer m_answerer;
  SaveAnswerer m_saveAnswerer;
  std::function<void()> m_beforeModal;

  void beforeModal() const {
    if (m_beforeModal) m_beforeModal();
  }
};

}  // namespace toravin
