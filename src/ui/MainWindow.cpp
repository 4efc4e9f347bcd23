#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <array>
#include <chrono>

#include "platform/MessagePump.h"
#include "ui/Bindings.h"
#include "ui/DialogLaunchers.h"
#include "ui/QtText.h"

namespace toravin {
namespace {

using K = ControlKind;

// The main window's controls: place in the client area below the menu bar, caption, hint,
// font height, tab position.
const std::array kControls{
    ControlSpec{"Label1", K::Label, nullptr, 72, 8, 35, 13, "ＵＲＬ：", "", 13, -1},
    ControlSpec{"AddressEdit", K::LineEdit, nullptr, 72, 24, 321, 23, "http://",
                "ダウンロードするファイルがおいてあるサーバーのURL", 15, 2, "Label1"},
    ControlSpec{"Label2", K::Label, nullptr, 72, 56, 104, 13, "保存ディレクトリー：", "", 13, -1},
    ControlSpec{"DirectoryEdit", K::LineEdit, nullptr, 72, 72, 209, 23, "",
                "ファイルを保存するディレクトリー", 15, 3, "Label2"},
    ControlSpec{"Button2", K::PushButton, nullptr, 288, 72, 105, 23, "ディレクトリー変更",
                "ダウンロードしたファイルの保存ディレクトリーを変更", 13, 4},
    ControlSpec{"UseLhaCheckBox", K::CheckBox, nullptr, 72, 112, 137, 17, "ファイルを圧縮して保存",
                "ダウンロードしたファイルを圧縮して保存するときは、ここをチェックしてください。", 0,
                9},
    ControlSpec{"Label5", K::Label, nullptr, 224, 104, 83, 12, "圧縮ファイル名：", "", 0, -1},
    ControlSpec{"LhaFileEdit", K::LineEdit, nullptr, 224, 120, 97, 20, "",
                "圧縮ファイルの名前をここに入力してください。（拡張子は\".lzh\"固定です。）", 0, 10,
                "Label5"},
    ControlSpec{"ReferenceButton", K::PushButton, nullptr, 328, 120, 65, 20, "参照", "", 0, 11},
    ControlSpec{"Label3", K::Label, nullptr, 72, 144, 53, 13, "ヘッダー：", "", 13, -1},
    ControlSpec{"HeaderMemo", K::Memo, nullptr, 72, 160, 321, 41, "",
                "ダウンロードしたファイルのヘッダー", 15, 5, "Label3"},
    ControlSpec{"Label4", K::Label, nullptr, 72, 208, 116, 13, "ダウンロードファイル：", "", 13,
                -1},
    ControlSpec{"BodyMemo", K::Memo, nullptr, 72, 224, 321, 89, "", "ダウンロードするファイル名",
                15, 6, "Label4"},
    ControlSpec{"ContinueButton", K::PushButton, nullptr, 424, 40, 99, 33, "継続",
                "前回のダウンロードの続きを実行", 16, 8},
    ControlSpec{"DownLoadButton", K::PushButton, nullptr, 424, 96, 99, 57, "ダウンロード",
                "ファイルのダウンロードを開始する", 16, 1},
    ControlSpec{"DownLoadAbortButton", K::PushButton, nullptr, 424, 176, 99, 49, "中断",
                "ダウンロードを中断する", 21, 7},
};

// The client area: wide enough for the outer width of 569 less the frame, tall enough for the
// lowest control (the work-list memo ends at 313).
constexpr int kClientWidth = 561;
constexpr int kClientHeight = 322;
constexpr int kStatusBarHeight = 28;
constexpr int kPumpIntervalMs = 15;

}  // namespace

MainWindow::MainWindow(TMainForm::Options options, QWidget* parent)
    : QMainWindow(parent), m_dialogs(this) {
  setObjectName(QStringLiteral("TMainForm"));
  setWindowTitle(Ui("ｔｏｒａｖｉｎ"));
  setAccessibleName(Ui("ｔｏｒａｖｉｎ"));
  setFont(GothicFont(12));

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  // Controls keep their places when the window grows; the status bar follows the bottom edge.
  client->setMinimumSize(kClientWidth, kClientHeight);
  setCentralWidget(client);
  m_controls = std::make_unique<ControlTable>(client, kControls);
  for (const char* memo : {"HeaderMemo", "BodyMemo"}) {
    auto* m = m_controls->get<QPlainTextEdit>(memo);
    m->setReadOnly(true);
    m->setUndoRedoEnabled(false);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  }
  auto* body = m_controls->get<QPlainTextEdit>("BodyMemo");
  body->setLineWrapMode(QPlainTextEdit::NoWrap);
  body->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  const std::vector<QWidget*> tabs = m_controls->applyTabOrder();

  buildMenus();
  buildStatusBar();

  m_form = std::make_unique<TMainForm>(m_model, m_dialogs, std::move(options));
  m_headerMirror = std::make_unique<MemoMirror>(m_controls->get<QPlainTextEdit>("HeaderMemo"),
                                                m_model.HeaderMemo);
  m_bodyMirror = std::make_unique<MemoMirror>(body, m_model.BodyMemo);
  bindWidgets();

  // The client's waits pump the event loop: show the model's changes first, so that a run's
  // progress reaches the screen while the run is inside them. The engine pumps far more often
  // than a screen can show (every wait slice, every parsed line); a round at most every
  // kPumpIntervalMs keeps the window live without spending the run's time on repainting, and
  // since the model is shown before the events are processed, no user event ever acts on a
  // screen older than the model.
  SetMessagePump([this] {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < std::chrono::milliseconds(kPumpIntervalMs)) return;
    syncFromModel();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_lastPump = std::chrono::steady_clock::now();
  });
  // The run's pauses (up to two seconds after each saved file) take no input from the user, but
  // the window keeps painting and answering screen readers through them: a reader asking about
  // the window in a pause would otherwise wait for its end.
  SetInputlessWait([this](int ms) {
    syncFromModel();
    QEventLoop pause;
    QTimer::singleShot(ms, Qt::PreciseTimer, &pause, &QEventLoop::quit);
    pause.exec(QEventLoop::ExcludeUserInputEvents);
    m_lastPump = std::chrono::steady_clock::now();
  });
  // A box stands over the window as the model is when it comes up.
  m_dialogs.setBeforeModal([this] { syncFromModel(); });
  ScreenFit::Install();
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && now->window() == this && !qobject_cast<QMenuBar*>(now)) m_lastFocus = now;
  });

  handle([this] { m_form->FormCreate(); });
  // The client area below the menu bar, the status bar under it.
  adjustSize();
  setMinimumSize(sizeHint());
  move(194, 107);
  if (!tabs.empty()) tabs.front()->setFocus(Qt::OtherFocusReason);
}

MainWindow::~MainWindow() {
  finishDestroy();
  SetMessagePump({});
  SetInputlessWait({});
}

void MainWindow::buildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  QMenu* file = bar->addMenu(Ui("ファイル"));
  file->setObjectName(QStringLiteral("File1"));
  m_exit = file->addAction(Ui("終了"));
  m_exit->setObjectName(QStringLiteral("Exit1"));
  connect(m_exit, &QAction::triggered, this, [this] { close(); });
  QAction* setting = bar->addAction(Ui("設定"));
  setting->setObjectName(QStringLiteral("Setting"));
  // Commands that open a dialog or a box run once the event that chose them has returned: a
  // screen reader's "press" on the item gets its answer at once instead of waiting (and timing
  // out) until the dialog has closed.
  connect(
      setting, &QAction::triggered, this,
      [this] { menuCommand([this] { OpenSettingForm(this, *m_form); }); }, Qt::QueuedConnection);
  QMenu* help = bar->addMenu(Ui("ヘルプ"));
  help->setObjectName(QStringLiteral("Help1"));
  QAction* about = help->addAction(Ui("バージョン情報"));
  about->setObjectName(QStringLiteral("About1"));
  connect(
      about, &QAction::triggered, this, [this] { menuCommand([this] { OpenAboutForm(this); }); },
      Qt::QueuedConnection);
  // F10 goes to the menu bar as Alt does.
  auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
  f10->setObjectName(QStringLiteral("MenuBarKey"));
  connect(f10, &QShortcut::activated, this, [this] { focusMenuBar(); });

  m_popup = new QMenu(this);
  m_popup->setObjectName(QStringLiteral("PopupMenu1"));
  QAction* clear = m_popup->addAction(Ui("すべて削除"));
  clear->setObjectName(QStringLiteral("ClearMemo"));
  m_popup->addSeparator();
  QAction* paste = m_popup->addAction(Ui("ＵＲＬを貼り付ける"));
  paste->setObjectName(QStringLiteral("UrlPaste"));
  m_popup->addSeparator();
  QAction* save = m_popup->addAction(Ui("ＵＲＬを保存する"));
  save->setObjectName(QStringLiteral("SaveURL"));
  connect(
      clear, &QAction::triggered, this, [this] { handle([this] { m_form->ClearMemoClick(); }); },
      Qt::QueuedConnection);
  connect(
      paste, &QAction::triggered, this, [this] { handle([this] { m_form->UrlPasteClick(); }); },
      Qt::QueuedConnection);
  connect(
      save, &QAction::triggered, this, [this] { handle([this] { m_form->SaveURLClick(); }); },
      Qt::QueuedConnection);
  auto* body = m_controls->get<QPlainTextEdit>("BodyMemo");
  body->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(body, &QWidget::customContextMenuRequested, this,
          [this, body](const QPoint& p) { m_popup->exec(body->viewport()->mapToGlobal(p)); });
}

void MainWindow::buildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setFixedHeight(kStatusBarHeight);
  bar->setSizeGripEnabled(true);
  m_statusText = new QLabel(bar);
  m_statusText->setObjectName(QStringLiteral("StatusText"));
  ShowStatusText(m_statusText, QString(), Ui("状態"));
  bar->addWidget(m_statusText, 1);
  m_progress = new QProgressBar(bar);
  m_progress->setObjectName(QStringLiteral("TransferProgress"));
  m_progress->setAccessibleName(Ui("転送の進み具合"));
  m_progress->setFixedWidth(120);
  m_progress->setTextVisible(false);
  m_progress->hide();
  bar->addPermanentWidget(m_progress);
  m_pending = new QLabel(bar);
  m_pending->setObjectName(QStringLiteral("PendingCount"));
  ShowStatusText(m_pending, QString(), Ui("残りのファイル数"));
  bar->addPermanentWidget(m_pending);
}

void MainWindow::bindWidgets() {
  for (const char* name : {"AddressEdit", "DirectoryEdit", "LhaFileEdit"}) {
    auto* edit = m_controls->get<QLineEdit>(name);
    Control* c = name == std::string("AddressEdit")     ? &m_model.AddressEdit
                 : name == std::string("DirectoryEdit") ? &m_model.DirectoryEdit
                                                        : &m_model.LhaFileEdit;
    connect(edit, &QLineEdit::textEdited, this, [this, c, name](const QString& text) {
      c->Text = ToSjis(text);
      m_shown[name].control.Text = c->Text;
    });
  }
  BindCheckBox(m_controls->get<QCheckBox>("UseLhaCheckBox"), m_model.UseLhaCheckBox.Checked,
               [this] {
                 m_shown["UseLhaCheckBox"].control.Checked = m_model.UseLhaCheckBox.Checked;
                 handle([this] { m_form->UseLhaCheckBoxClick(); });
               });
  auto button = [this](const char* name, const std::function<void()>& h) {
    connect(m_controls->get<QPushButton>(name), &QPushButton::clicked, this,
            [this, h] { handle(h); });
  };
  button("DownLoadButton", [this] { m_form->DownLoadButtonClick(); });
  button("ContinueButton", [this] { m_form->ContinueButtonClick(); });
  button("DownLoadAbortButton", [this] { m_form->DownLoadAbortButtonClick(); });
  button("ReferenceButton", [this] { m_form->ReferenceButtonClick(); });
  button("Button2", [this] {
    syncFromModel();
    OpenDirectoryChangeForm(this, *m_form);
  });
}

void MainWindow::handle(const std::function<void()>& handler) {
  ++m_depth;
  m_form->Guarded(handler);
  --m_depth;
  syncFromModel();
  if (m_depth == 0 && m_closePending && !m_form->Running()) {
    // The run that a close request aborted has returned.
    QTimer::singleShot(0, this, [this] { close(); });
  }
}

void MainWindow::syncFromModel() {
  const std::pair<const char*, Control*> controls[] = {
      {"AddressEdit", &m_model.AddressEdit},
      {"DirectoryEdit", &m_model.DirectoryEdit},
      {"Button2", &m_model.Button2},
      {"UseLhaCheckBox", &m_model.UseLhaCheckBox},
      {"Label5", &m_model.Label5},
      {"LhaFileEdit", &m_model.LhaFileEdit},
      {"ReferenceButton", &m_model.ReferenceButton},
      {"ContinueButton", &m_model.ContinueButton},
      {"DownLoadButton", &m_model.DownLoadButton},
      {"DownLoadAbortButton", &m_model.DownLoadAbortButton},
  };
  for (const auto& [name, c] : controls) {
    QWidget* w = m_controls->widget(name);
    Shown& shown = m_shown[name];
    Control& s = shown.control;
    if (shown.first || s.Enabled != c->Enabled) w->setEnabled(c->Enabled);
    if (shown.first || s.Visible != c->Visible) w->setVisible(c->Visible);
    if (c->bounds.width > 0 && (shown.first || !(s.bounds == c->bounds))) {
      int width = c->bounds.width;
      // A label keeps the width its caption was fitted to, as an auto-sized label does.
      if (auto* label = qobject_cast<QLabel*>(w)) {
        width = std::max(width, label->fontMetrics().horizontalAdvance(label->text()) + 2);
      }
      w->setGeometry(c->bounds.left, c->bounds.top, width, c->bounds.height);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      if (shown.first || s.ReadOnly != c->ReadOnly) edit->setReadOnly(c->ReadOnly);
      if (shown.first || s.Text != c->Text) edit->setText(FromSjis(c->Text));
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
      if (shown.first || s.Checked != c->Checked) box->setChecked(c->Checked);
    }
    s = *c;
    shown.first = false;
  }
  m_exit->setEnabled(m_model.Exit1.Enabled);

  if (m_model.StatusText() != m_shownStatus) {
    m_shownStatus = m_model.StatusText();
    ShowStatusText(m_statusText, FromSjis(m_shownStatus), Ui("状態"));
  }
  if (!(m_model.Progress == m_shownProgress)) {
    const TransferProgress& p = m_model.Progress;
    if (p.Active && p.Total > 0) {
      // The bar counts in permille so that lengths beyond int's range fit.
      m_progress->setRange(0, 1000);
      m_progress->setValue(
          static_cast<int>(std::min<std::int64_t>(p.Received, p.Total) * 1000 / p.Total));
    } else if (p.Active) {
      m_progress->setRange(0, 0);  // length unknown: a busy bar
    }
    // Transfers fetched ahead are counted on the bar: "同時 N 件" with the one shown.
    m_progress->setTextVisible(p.Active && p.Ahead > 0);
    m_progress->setFormat(Ui("同時 %1 件").arg(p.Ahead + 1));
    m_progress->setAccessibleDescription(m_progress->isTextVisible() ? m_progress->format()
                                                                     : QString());
    m_progress->setVisible(p.Active);
    m_shownProgress = p;
  }
  m_headerMirror->apply();
  if (m_bodyMirror->pending()) {
    const int n = m_model.BodyMemo.Count();
    ShowStatusText(m_pending, n > 0 ? Ui("残り %1 件").arg(n) : QString(), Ui("残りのファイル数"));
    m_bodyMirror->apply();
  }
}

void MainWindow::requestClose() {
  m_closePending = true;
  // The boxes still to come (those that end an aborted run) are not shown to a user who has
  // already left: they are answered as Escape would answer them.
  m_dialogs.setAnswerer([](const QString&, MsgDlgType, MsgDlgButtons buttons) {
    return std::optional<ModalResult>(buttons & mbNo ? ModalResult::mrNo : ModalResult::mrOk);
  });
  m_dialogs.setSaveAnswerer(
      [](const QString&, const QString&) { return std::optional<QString>(); });
  CancelOpenDialogs();
  if (m_form->Running()) {
    // The run ends, and the window closes when it has returned.
    handle([this] { m_form->AbortForExit(); });
    return;
  }
  // A dialog's command is still on the stack; handle() closes the window when it returns.
  if (m_depth > 0) return;
  close();
}

void MainWindow::CancelOpenDialogs() {
  // Innermost first: a menu that is open, then every modal dialog or box, each as Escape would.
  for (int left = 64; left > 0; --left) {
    if (QWidget* popup = QApplication::activePopupWidget()) {
      popup->close();
      continue;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) break;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    modal->hide();
  }
}

void MainWindow::menuCommand(const std::function<void()>& open) {
  QPointer<QWidget> back = m_lastFocus;
  auto restore = [this, back] {
    if (back && back->isVisible() && back->isEnabled()) {
      back->setFocus(Qt::OtherFocusReason);
    }
  };
  // The menu bar gives the focus back before the dialog opens, and the dialog returns it to
  // where it was when it closes, not to the menu bar.
  if (menuBar()->hasFocus()) restore();
  handle(open);
  restore();
  QTimer::singleShot(0, this, restore);
}

void MainWindow::focusMenuBar() {
  // Exactly what the Alt key does: a press and release of Alt alone.
  QKeyEvent press(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::AltModifier);
  QCoreApplication::sendEvent(this, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
  QCoreApplication::sendEvent(this, &release);
  QMenuBar* bar = menuBar();
  if (!bar->hasFocus() && !bar->actions().isEmpty()) {
    bar->setFocus(Qt::MenuBarFocusReason);
    bar->setActiveAction(bar->actions().front());
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (m_form->Running() || m_depth > 0) {
    // Closing during a run: abort it; the window closes once the run has returned.
    event->ignore();
    requestClose();
    return;
  }
  finishDestroy();
  event->accept();
}

void MainWindow::finishDestroy() {
  if (m_destroyed) return;
  m_destroyed = true;
  m_form->Guarded([this] { m_form->FormDestroy(); });
}

}  // namespace toravin
