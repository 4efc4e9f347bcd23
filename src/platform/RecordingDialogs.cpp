// Recording is plain bookkeeping; the default answers are those of a user who agrees to every
// question and cancels every dialog that asks for input.
#include "platform/RecordingDialogs.h"

namespace toravin {

void RecordingDialogs::Add(Record r) {
  m_records.push_back(std::move(r));
  if (onRecord) onRecord(m_records.back());
}

std::vector<std::string> RecordingDialogs::BoxTexts() const {
  std::vector<std::string> texts;
  for (const Record& r : m_records) {
    if (r.call == Call::MessageDlg || r.call == Call::ShowMessage) texts.push_back(r.text);
  }
  return texts;
}

void RecordingDialogs::PlayKindSound(MsgDlgType kind) { Add({Call::Sound, kind, {}, 0, {}, {}}); }

ModalResult RecordingDialogs::MessageDlg(std::string_view text, MsgDlgType kind,
                                         MsgDlgButtons buttons, int) {
  Add({Call::MessageDlg, kind, std::string(text), buttons, {}, {}});
  if (!messageAnswers.empty()) {
    ModalResult r = messageAnswers.front();
    messageAnswers.pop_front();
    return r;
  }
  return (buttons & mbYes) ? ModalResult::mrYes : ModalResult::mrOk;
}

void RecordingDialogs::ShowMessage(std::string_view text) {
  Add({Call::ShowMessage, MsgDlgType::mtCustom, std::string(text), mbOK, {}, {}});
}

void RecordingDialogs::Beep() { Add({Call::Beep, MsgDlgType::mtCustom, {}, 0, {}, {}}); }

std::string RecordingDialogs::InputBox(std::string_view, std::string_view prompt,
                                       std::string_view defaultText) {
  Add({Call::InputBox, MsgDlgType::mtCustom, std::string(prompt), 0, {}, {}});
  if (inputAnswers.empty()) return std::string(defaultText);
  std::string answer = std::move(inputAnswers.front());
  inputAnswers.pop_front();
  return answer;
}

std::optional<std::string> RecordingDialogs::SaveFileName(std::string_view filter, std::string_view,
                                                          std::string_view title,
                                                          std::string_view initialDir) {
  Add({Call::SaveFileName, MsgDlgType::mtCustom, std::string(filter), 0, std::string(title),
       std::string(initialDir)});
  if (saveAnswers.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(saveAnswers.front());
  saveAnswers.pop_front();
  return answer;
}

std::optional<std::string> RecordingDialogs::ClipboardText() {
  Add({Call::Clipboard, MsgDlgType::mtCustom, {}, 0, {}, {}});
  return clipboard;
}

}  // namespace toravin
