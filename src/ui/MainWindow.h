// The main window on Qt: the controls of the layout table, bound to the engine's form model. The
// model is the truth: every handler changes it, and the window copies what changed onto the
// widgets after each handler and before every round of the message pump (the pump runs inside
// the client's waits, so a run's changes reach the screen while it runs). User edits are written
// back into the model as they happen.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "main/FormModel.h"
#include "main/MainForm.h"
#include "ui/ControlTable.h"
#include "ui/MemoMirror.h"
#include "ui/QtDialogs.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace toravin {

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the window and runs FormCreate; `options` name the settings file.
  explicit MainWindow(TMainForm::Options options, QWidget* parent = nullptr);
  ~MainWindow() override;

  TFormModel& model() { return m_model; }
  TMainForm& form() { return *m_form; }
  QtDialogs& dialogs() { return m_dialogs; }
  const ControlTable& controls() const { return *m_controls; }
  QMenu* popupMenu() const { return m_popup; }
  QProgressBar* progressBar() const { return m_progress; }
  QLabel* statusLabel() const { return m_statusText; }
  QLabel* pendingLabel() const { return m_pending; }

  // Copies the model onto the widgets (only what differs from what is shown).
  void syncFromModel();
  // Closes the window as soon as it can: a run in progress is aborted first, with its closing
  // boxes answered unseen; the settings are saved on the way out. Safe from a signal's notifier.
  void requestClose();
  // Cancels every menu, dialog and box that is open, innermost first, as Escape would.
  static void CancelOpenDialogs();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void buildStatusBar();
  void bindWidgets();
  // Runs a handler as the application does (an escaping error goes to the error box), then
  // shows what it changed; a close asked for during a run happens when the run has returned.
  void handle(const std::function<void()>& handler);
  void finishDestroy();
  // A menu command that opens a dialog: the focus goes back where it was when it closes.
  void menuCommand(const std::function<void()>& open);
  void focusMenuBar();

  TFormModel m_model;
  QtDialogs m_dialogs;
  std::unique_ptr<TMainForm> m_form;
  std::unique_ptr<ControlTable> m_controls;

  QAction* m_exit = nullptr;
  QMenu* m_popup = nullptr;
  QLabel* m_statusText = nullptr;
  QLabel* m_pending = nullptr;
  QProgressBar* m_progress = nullptr;

  // What the widgets show, to copy only changes.
  struct Shown {
    Control control;
    bool first = true;
  };
  std::map<std::string, Shown> m_shown;
  TransferProgress m_shownProgress;
  std::string m_shownStatus;
  std::unique_ptr<MemoMirror> m_headerMirror;
  std::unique_ptr<MemoMirror> m_bodyMirror;
  int m_depth = 0;  // handlers on the stack
  std::chrono::steady_clock::time_point m_lastPump{};
  bool m_closePending = false;
  QPointer<QWidget> m_lastFocus;  // the last control of this window that had the focus
  bool m_destroyed = false;       // FormDestroy has run
};

}  // namespace toravin
