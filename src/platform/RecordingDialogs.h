// A Dialogs implementation that records every call and answers from queues: the tests' way to
// see what the user would have seen, and the headless tool's way to print it.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace toravin {

class RecordingDialogs : public Dialogs {
 public:
  enum class Call { Sound, MessageDlg, ShowMessage, Beep, InputBox, SaveFileName, Clipboard };

  struct Record {
    Call call;
    MsgDlgType kind = MsgDlgType::mtCustom;
    std::string text;  // the message, or the input box's prompt, or the save dialog's filter
    MsgDlgButtons buttons = 0;
    std::string caption;  // the input box's or save dialog's title
    std::string dir;      // the save dialog's initial directory
  };

  // Answers, taken from the front; when a queue is empty: MessageDlg answers mrYes when Yes is
  // offered (else mrOk), InputBox the default text, SaveFileName and ClipboardText nothing.
  std::deque<ModalResult> messageAnswers;
  std::deque<std::string> inputAnswers;
  std::deque<std::optional<std::string>> saveAnswers;
  std::optional<std::string> clipboard;

  // Called after each record is added (the headless tool prints from here).
  std::function<void(const Record&)> onRecord;

  const std::vector<Record>& records() const { return m_records; }
  void clear() { m_records.clear(); }

  // The texts of the boxes shown (MessageDlg and ShowMessage), in order.
  std::vector<std::string> BoxTexts() const;

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
  void Add(Record r);
  std::vector<Record> m_records;
};

}  // namespace toravin
