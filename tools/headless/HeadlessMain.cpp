// toravin-headless: the crawl without a window. It loads a settings file as the program loads
// ToraVin.ini, fills a form model from it, presses Download (or Continue) through the same
// handlers, and saves the file again at the end. What a user would see is printed, one line per
// event, as UTF-8: "box: KIND: TEXT", "status: TEXT" and "list: N".
// SIGTERM, SIGINT and SIGHUP end a run as closing the window does: the run is aborted with the
// entry in flight kept, Yes/No boxes are answered No from then on, the file is saved, exit 1.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "main/MainForm.h"
#include "platform/Cp932.h"
#include "platform/MessagePump.h"
#include "platform/RecordingDialogs.h"

using namespace toravin;

namespace {

constexpr int kExitComplete = 0;
constexpr int kExitNotComplete = 1;
constexpr int kExitUsage = 2;

int Usage() {
  std::fputs(
      "usage: toravin-headless --ini FILE [--continue] [--no-pauses] [--answer yes|no]"
      " [--parallel 1-32] [--reader html|patterns] [--connection keep|close]\n",
      stderr);
  return kExitUsage;
}

// Prints every box as it is shown; Yes/No questions get the answer from the command line.
class PrintingDialogs : public RecordingDialogs {
 public:
  bool leaving = false;  // a termination signal came: every question is answered as Escape
  explicit PrintingDialogs(bool yes) : m_yes(yes) {
    onRecord = [](const Record& r) {
      if (r.call != Call::MessageDlg && r.call != Call::ShowMessage) return;
      std::printf("box: %s: %s\n", KindName(r.kind), Cp932ToUtf8(r.text).c_str());
      std::fflush(stdout);
    };
  }
  ModalResult MessageDlg(std::string_view text, MsgDlgType kind, MsgDlgButtons buttons,
                         int helpContext) override {
    RecordingDialogs::MessageDlg(text, kind, buttons, helpContext);
    if (leaving) return buttons & mbNo ? ModalResult::mrNo : ModalResult::mrOk;
    if (buttons & mbYes) return m_yes ? ModalResult::mrYes : ModalResult::mrNo;
    return ModalResult::mrOk;
  }

 private:
  bool m_yes;
};

volatile std::sig_atomic_t g_signal = 0;

void OnSignal(int sig) { g_signal = sig; }

void CatchTermination() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string ini;
  bool resume = false, noPauses = false, yes = true;
  int parallel = 0;  // 0: as the options file says
  std::optional<LinkReader> reader;
  std::optional<ConnectionUse> connection;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--ini" && i + 1 < argc) {
      ini = argv[++i];
    } else if (a == "--continue") {
      resume = true;
    } else if (a == "--no-pauses") {
      noPauses = true;
    } else if (a == "--parallel" && i + 1 < argc) {
      const std::string v = argv[++i];
      const bool digits =
          !v.empty() && v.size() <= 2 && v.find_first_not_of("0123456789") == std::string::npos;
      parallel = digits ? std::stoi(v) : 0;
      if (parallel < 1 || parallel > TRunOptions::kMaxParallel) return Usage();
    } else if (a == "--reader" && i + 1 < argc) {
      std::string v = argv[++i];
      if (v != "html" && v != "patterns") return Usage();
      reader = v == "html" ? LinkReader::Html : LinkReader::Patterns;
    } else if (a == "--connection" && i + 1 < argc) {
      std::string v = argv[++i];
      if (v != "keep" && v != "close") return Usage();
      connection = v == "keep" ? ConnectionUse::Keep : ConnectionUse::Close;
    } else if (a == "--answer" && i + 1 < argc) {
      std::string v = argv[++i];
      if (v != "yes" && v != "no") return Usage();
      yes = v == "yes";
    } else {
      return Usage();
    }
  }
  if (ini.empty()) return Usage();
  CatchTermination();

  PrintingDialogs dialogs(yes);
  TFormModel form;
  form.onStatusText = [](const std::string& text) {
    std::printf("status: %s\n", Cp932ToUtf8(text).c_str());
  };
  form.BodyMemo.SetListener(
      [&form](LineList::Change, int, int) { std::printf("list: %d\n", form.BodyMemo.Count()); });

  TMainForm::Options options;
  if (noPauses) options.timings = Timings::NoPauses();
  options.iniFileName = Utf8ToCp932(ini);
  TMainForm mainForm(form, dialogs, options);
  // The run's waits pump this: a signal is acted on at the next pass, as the window's notifier.
  SetMessagePump([&] {
    if (g_signal == 0 || dialogs.leaving) return;
    dialogs.leaving = true;
    mainForm.AbortForExit();
  });
  mainForm.Guarded([&] { mainForm.FormCreate(); });
  // The command line's count, reader and connection use hold for this run only; the options file
  // keeps its own.
  const TRunOptions kept = mainForm.RunOptions();
  TRunOptions run = kept;
  if (parallel > 0) run.Parallel = parallel;
  if (reader) run.Reader = *reader;
  if (connection) run.Connection = *connection;
  mainForm.SetRunOptions(run);
  const size_t before = dialogs.records().size();
  // A button the window would not offer (Continue with nothing pending, or both run buttons
  // after a faulty settings file) is not pressed: the run does not start.
  if (g_signal != 0) {
    // Signalled before the run began: nothing is started.
  } else if (resume && form.ContinueButton.Enabled && form.ContinueButton.Visible) {
    mainForm.Guarded([&] { mainForm.ContinueButtonClick(); });
  } else if (!resume && form.DownLoadButton.Enabled && form.DownLoadButton.Visible) {
    mainForm.Guarded([&] { mainForm.DownLoadButtonClick(); });
  }
  // The run's outcome is the last box it showed.
  bool complete = false;
  for (size_t i = dialogs.records().size(); i-- > before;) {
    const RecordingDialogs::Record& r = dialogs.records()[i];
    if (r.call == RecordingDialogs::Call::MessageDlg ||
        r.call == RecordingDialogs::Call::ShowMessage) {
      complete = r.text == Sjis("ダウンロード完了");
      break;
    }
  }
  mainForm.SetRunOptions(kept);
  mainForm.Guarded([&] { mainForm.FormDestroy(); });
  SetMessagePump({});
  std::fflush(stdout);
  // How much fetching ahead was wasted: transfers dropped before their turn or not taken over.
  std::fprintf(stderr, "ahead: %d started, %d discarded\n", mainForm.FetchAheadFigures().Started(),
               mainForm.FetchAheadFigures().Discarded());
  return complete && g_signal == 0 ? kExitComplete : kExitNotComplete;
}
