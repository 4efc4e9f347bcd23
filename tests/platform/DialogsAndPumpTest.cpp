// The recording dialogs answer from their queues (or as an agreeing user), and the pump runs
// whatever was installed.
#include <gtest/gtest.h>

#include "platform/MessagePump.h"
#include "platform/RecordingDialogs.h"

namespace toravin {
namespace {

TEST(RecordingDialogs, RecordsCallsAndAnswers) {
  RecordingDialogs d;
  std::vector<std::string> printed;
  d.onRecord = [&](const RecordingDialogs::Record& r) { printed.push_back(r.text); };
  EXPECT_EQ(d.MessageDlg("q?", MsgDlgType::mtWarning, mbYesNo, 0), ModalResult::mrYes);
  d.messageAnswers.push_back(ModalResult::mrNo);
  EXPECT_EQ(d.MessageDlg("q2?", MsgDlgType::mtWarning, mbYesNo, 0), ModalResult::mrNo);
  EXPECT_EQ(d.MessageDlg("done", MsgDlgType::mtInformation, mbOKOnly, 0), ModalResult::mrOk);
  d.ShowMessage("plain");
  d.PlayKindSound(MsgDlgType::mtError);
  d.Beep();
  EXPECT_EQ(d.InputBox("cap", "prompt", "index.html"), "index.html");
  d.inputAnswers.push_back("typed");
  EXPECT_EQ(d.InputBox("cap", "prompt", "index.html"), "typed");
  EXPECT_FALSE(d.SaveFileName("f", "txt").has_value());
  d.saveAnswers.push_back(std::string("/tmp/x.txt"));
  EXPECT_EQ(d.SaveFileName("f", "txt").value(), "/tmp/x.txt");
  EXPECT_FALSE(d.ClipboardText().has_value());
  EXPECT_EQ(d.BoxTexts(), (std::vector<std::string>{"q?", "q2?", "done", "plain"}));
  ASSERT_EQ(d.records().size(), 11u);
  EXPECT_EQ(d.records()[4].call, RecordingDialogs::Call::Sound);
  EXPECT_EQ(d.records()[4].kind, MsgDlgType::mtError);
  EXPECT_EQ(printed.size(), 11u);
  EXPECT_STREQ(KindName(MsgDlgType::mtCustom), "plain");
  EXPECT_STREQ(KindName(MsgDlgType::mtConfirmation), "confirmation");
}

TEST(MessagePump, RunsTheInstalledPump) {
  int runs = 0;
  MessagePumpFn old = SetMessagePump([&] { ++runs; });
  ProcessMessages();
  ProcessMessages();
  EXPECT_EQ(runs, 2);
  SetMessagePump(old);
  ProcessMessages();
  EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace toravin
