// The main window offscreen: its layout against the layout table, the start-up states, the
// menus, and whole runs driven by clicking its buttons against a loopback site, with the boxes
// answered by an injected answerer.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/SettingForm.h"
#include "ui/SignalBridge.h"

#include <csignal>
#include <cstdio>

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    saveDir = tmp.File("save");
    iniFile = tmp.File("ToraVin.ini");
    server.SetRouter([this](const std::string& request) { return Route(request); });
  }
  void TearDown() override { window.reset(); }

  void Open() {
    window.reset();
    TMainForm::Options options;
    options.timings = Timings::NoPauses();
    options.iniFileName = iniFile;
    window = std::make_unique<MainWindow>(options);
    window->dialogs().setAnswerer([this](const QString& text, MsgDlgType, MsgDlgButtons b) {
      // The input box takes its default answer.
      if (b == (mbOK | mbCancel)) return std::optional<ModalResult>(ModalResult::mrCancel);
      boxes.push_back(text.toStdString());
      if (onBox) onBox(text);
      if (!(b & mbYes)) return std::optional<ModalResult>(ModalResult::mrOk);
      ModalResult r = ModalResult::mrYes;
      if (!answers.empty()) {
        r = answers.front();
        answers.erase(answers.begin());
      }
      return std::optional<ModalResult>(r);
    });
    window->show();
  }
  template <class W>
  W* Get(const char* name) {
    return window->controls().get<W>(name);
  }
  void Type(const char* edit, const QString& text) {
    auto* e = Get<QLineEdit>(edit);
    e->clear();
    QTest::keyClicks(e, text);
  }
  ScriptedReply Route(const std::string& request) {
    const std::string path = RequestPath(request);
    ++hits[path];
    if (path == "/index.html") {
      return ScriptedReply::Http(200,
                                 "<a href=\"p.html\">p</a><img src=\"a.jpg\"><img src=\"b.jpg\">",
                                 "Content-Type: text/html\r\n");
    }
    if (path == "/p.html") {
      return ScriptedReply::Http(200, "<img src=\"c.jpg\">", "Content-Type: text/html\r\n");
    }
    if (path == "/a.jpg" && slowA) {
      return ScriptedReply()
          .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 6\r\n\r\nAAA")
          .Delay(400)
          .Send("AAA");
    }
    if (path.size() == 6 && path.substr(2) == ".jpg") {
      return ScriptedReply::Http(200, std::string(3, path[1]), "Content-Type: image/jpeg\r\n");
    }
    return ScriptedReply::Http(404, "", "Content-Type: text/html\r\n");
  }
  std::string StatusShown() { return window->statusLabel()->text().toStdString(); }

  TempDir tmp;
  std::string saveDir, iniFile;
  LoopbackHttpServer server;
  std::unique_ptr<MainWindow> window;
  std::vector<std::string> boxes;
  std::vector<ModalResult> answers;
  std::function<void(const QString&)> onBox;
  std::map<std::string, int> hits;
  bool slowA = false;
};

// Runs `act` on the modal dialog or box once it is up (a menu command opens its dialog a turn of
// the event loop after it is chosen).
void WhenModal(std::function<void(QWidget*)> act, int turns = 100) {
  QTimer::singleShot(0, [act, turns] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      act(w);
    } else if (turns > 0) {
      WhenModal(act, turns - 1);
    } else {
      ADD_FAILURE() << "no modal dialog";
    }
  });
}

struct Layout {
  const char* name;
  int left, top, width, height;
  const char* text;
  const char* tip;
  int fontPx;  // 0: the window's 12 px
};

TEST_F(Window, FirstStartShowsTheLayout) {
  Open();
  EXPECT_EQ(window->windowTitle().toStdString(), "ｔｏｒａｖｉｎ");
  EXPECT_EQ(window->pos(), QPoint(194, 107));
  const Layout controls[] = {
      {"AddressEdit", 72, 24, 321, 23, "http://",
       "ダウンロードするファイルがおいてあるサーバーのURL", 15},
      {"DirectoryEdit", 72, 72, 209, 23, "", "ファイルを保存するディレクトリー", 15},
      {"Button2", 288, 72, 105, 23, "ディレクトリー変更",
       "ダウンロードしたファイルの保存ディレクトリーを変更", 13},
      {"UseLhaCheckBox", 72, 112, 137, 17, "ファイルを圧縮して保存",
       "ダウンロードしたファイルを圧縮して保存するときは、ここをチェックしてください。", 12},
      {"LhaFileEdit", 224, 120, 97, 20, "",
       "圧縮ファイルの名前をここに入力してください。（拡張子は\".lzh\"固定です。）", 12},
      {"ReferenceButton", 328, 120, 65, 20, "参照", "", 12},
      {"HeaderMemo", 72, 160, 321, 41, "", "ダウンロードしたファイルのヘッダー", 15},
      {"BodyMemo", 72, 224, 321, 89, "", "ダウンロードするファイル名", 15},
      {"ContinueButton", 424, 40, 99, 33, "継続", "前回のダウンロードの続きを実行", 16},
      // Start-up gives both run buttons one place.
      {"DownLoadButton", 424, 96, 99, 193, "ダウンロード", "ファイルのダウンロードを開始する", 16},
      {"DownLoadAbortButton", 424, 96, 99, 193, "中断", "ダウンロードを中断する", 21},
      {"Label1", 72, 8, -1, 13, "ＵＲＬ：", "", 13},
      {"Label5", 224, 104, -1, 12, "圧縮ファイル名：", "", 12},
  };
  for (const Layout& c : controls) {
    QWidget* w = window->controls().widget(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    const QRect g = w->geometry();
    EXPECT_EQ(g.topLeft(), QPoint(c.left, c.top)) << c.name;
    if (c.width > 0) {
      EXPECT_EQ(g.size(), QSize(c.width, c.height)) << c.name;
    }
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) text = m->toPlainText();
    EXPECT_EQ(text.toStdString(), c.text) << c.name;
    EXPECT_EQ(w->toolTip().toStdString(), c.tip) << c.name;
    EXPECT_EQ(w->font().pixelSize(), c.fontPx) << c.name;
  }
  // Initial states without a settings file.
  EXPECT_FALSE(Get<QCheckBox>("UseLhaCheckBox")->isChecked());
  EXPECT_TRUE(Get<QLineEdit>("LhaFileEdit")->isEnabled());
  EXPECT_TRUE(Get<QLabel>("Label5")->isEnabled());
  EXPECT_TRUE(Get<QPushButton>("DownLoadButton")->isVisible());
  EXPECT_TRUE(Get<QPushButton>("DownLoadButton")->isEnabled());
  EXPECT_FALSE(Get<QPushButton>("DownLoadAbortButton")->isVisible());
  EXPECT_FALSE(Get<QPushButton>("ContinueButton")->isVisible());
  EXPECT_TRUE(Get<QPlainTextEdit>("BodyMemo")->isReadOnly());
  EXPECT_FALSE(window->progressBar()->isVisible());
  // Screen readers find the controls by name.
  EXPECT_EQ(Get<QLineEdit>("AddressEdit")->accessibleName().toStdString(), "ＵＲＬ");
  EXPECT_EQ(Get<QPushButton>("DownLoadButton")->accessibleName().toStdString(), "ダウンロード");
  EXPECT_EQ(Get<QPushButton>("ContinueButton")->accessibleName().toStdString(), "継続");
}

TEST_F(Window, MemosShowWholeLinesOnly) {
  Open();
  for (const char* name : {"HeaderMemo", "BodyMemo"}) {
    auto* memo = Get<QPlainTextEdit>(name);
    const int line = memo->fontMetrics().lineSpacing();
    const int text = memo->viewport()->height() - 2;  // less the document's margins
    EXPECT_GE(text, line) << name;
    EXPECT_EQ(text % line, 0) << name;
  }
}

// The memos read as text; read-only ones offer nothing to edit. The list's pop-up menu is found
// from the application while it shows.
TEST_F(Window, MemosReadAsReadOnlyTextAndThePopupIsInTheTree) {
  Open();
  window->model().HeaderMemo.Add("HTTP/1.0 200 OK");
  window->model().HeaderMemo.Add("Content-Type: image/jpeg");
  window->syncFromModel();
  struct Case {
    const char* memo;
    const char* text;
  };
  const Case cases[] = {{"HeaderMemo", "HTTP/1.0 200 OK\nContent-Type: image/jpeg"},
                        {"BodyMemo", ""}};
  for (const Case& c : cases) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(Get<QPlainTextEdit>(c.memo));
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->state().readOnly) << c.memo;
    EXPECT_FALSE(a->state().editable) << c.memo;
    EXPECT_EQ(a->editableTextInterface(), nullptr) << c.memo;
    ASSERT_NE(a->textInterface(), nullptr) << c.memo;
    EXPECT_EQ(a->textInterface()->text(0, -1).toStdString(), c.text) << c.memo;
  }
  QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
  auto popupFound = [&] {
    for (int i = 0; i < app->childCount(); ++i) {
      if (app->child(i) && app->child(i)->object() == window->popupMenu()) return true;
    }
    return false;
  };
  EXPECT_FALSE(popupFound());
  window->popupMenu()->popup(QPoint(10, 10));
  EXPECT_TRUE(popupFound());
  window->popupMenu()->close();
}

TEST_F(Window, ResizingMovesOnlyTheStatusBar) {
  Open();
  const QRect button = Get<QWidget>("DownLoadButton")->geometry();
  const QRect memo = Get<QWidget>("BodyMemo")->geometry();
  window->resize(window->width() + 200, window->height() + 150);
  QApplication::processEvents();
  EXPECT_EQ(Get<QWidget>("DownLoadButton")->geometry(), button);
  EXPECT_EQ(Get<QWidget>("BodyMemo")->geometry(), memo);
  const QRect bar = window->statusBar()->geometry();
  EXPECT_EQ(bar.bottom(), window->height() - 1);
  EXPECT_EQ(bar.width(), window->width());
  EXPECT_EQ(bar.height(), 28);
}

TEST_F(Window, ProgressBarCountsTheTransfersUnderWay) {
  Open();
  struct Case {
    TransferProgress progress;
    bool visible, text;
    int value;
  };
  const Case cases[] = {
      {{true, 250, 1000, 0}, true, false, 250},
      {{true, 500, 1000, 3}, true, true, 500},
      {{true, 7, 0, 0}, true, false, 0},  // length unknown: a busy bar
      {{}, false, false, 0},
  };
  for (const Case& c : cases) {
    window->model().Progress = c.progress;
    window->syncFromModel();
    EXPECT_EQ(window->progressBar()->isVisible(), c.visible);
    EXPECT_EQ(window->progressBar()->isTextVisible(), c.text);
    if (c.text) {
      EXPECT_EQ(window->progressBar()->text().toStdString(), "同時 4 件");
    }
    if (c.progress.Total > 0) {
      EXPECT_EQ(window->progressBar()->value(), c.value);
    } else if (c.visible) {
      EXPECT_EQ(window->progressBar()->maximum(), 0);  // busy
    }
  }
}

TEST_F(Window, TabOrderMenusAndPopup) {
  Open();
  QApplication::setActiveWindow(window.get());
  const Strings chain = {"DownLoadButton", "AddressEdit", "DirectoryEdit",       "Button2",
                         "HeaderMemo",     "BodyMemo",    "DownLoadAbortButton", "ContinueButton",
                         "UseLhaCheckBox", "LhaFileEdit", "ReferenceButton"};
  Strings seen;
  QWidget* w = Get<QWidget>(chain.front().c_str());
  for (size_t i = 0; i < chain.size(); ++i) {
    seen.push_back(w->objectName().toStdString());
    w = w->nextInFocusChain();
    while (w->parentWidget() != Get<QWidget>("AddressEdit")->parentWidget() ||
           !(w->focusPolicy() & Qt::TabFocus)) {
      w = w->nextInFocusChain();
    }
  }
  EXPECT_EQ(seen, chain);
  // The first tab stop holds the focus at start: Space downloads.
  EXPECT_EQ(QApplication::focusWidget(), Get<QWidget>("DownLoadButton"));

  Strings menu;
  for (QAction* a : window->menuBar()->actions()) {
    menu.push_back(a->text().toStdString());
    if (a->menu()) {
      for (QAction* sub : a->menu()->actions()) menu.push_back("  " + sub->text().toStdString());
    }
  }
  EXPECT_EQ(menu, (Strings{"ファイル", "  終了", "設定", "ヘルプ", "  バージョン情報"}));
  Strings popup;
  for (QAction* a : window->popupMenu()->actions()) {
    popup.push_back(a->isSeparator() ? "-" : a->text().toStdString());
  }
  EXPECT_EQ(popup, (Strings{"すべて削除", "-", "ＵＲＬを貼り付ける", "-", "ＵＲＬを保存する"}));
}

TEST_F(Window, DownloadByClickingEndsCompleteWithTheFilesOnDisk) {
  slowA = true;  // long enough for the window to show the transfer
  Open();
  Type("AddressEdit", QString::fromStdString(server.Url("/index.html")));
  Type("DirectoryEdit", QString::fromStdString(saveDir));
  window->form().Settings().JPGDownLoad = true;
  window->form().Settings().HTMLDownLoad = true;
  bool progressSeen = false, abortShown = false;
  SetMessagePump([&, pump = SetMessagePump({})] {
    progressSeen |= window->progressBar()->isVisible();
    abortShown |= Get<QPushButton>("DownLoadAbortButton")->isVisible();
    pump();
  });
  QTest::mouseClick(Get<QPushButton>("DownLoadButton"), Qt::LeftButton);
  // The save directory was missing: the question, then the run.
  EXPECT_EQ(boxes,
            (Strings{saveDir + " が見つかりません。\r\n作成しますか？", "ダウンロード完了"}));
  EXPECT_EQ(ListDirectory(saveDir), (Strings{"a.jpg", "b.jpg", "c.jpg"}));
  EXPECT_EQ(ReadFileBytes(saveDir + "/c.jpg"), "ccc");
  EXPECT_EQ(ReadFileBytes(saveDir + "/a.jpg"), "AAAAAA");
  EXPECT_TRUE(progressSeen);
  EXPECT_TRUE(abortShown);
  EXPECT_FALSE(window->progressBar()->isVisible());
  EXPECT_TRUE(Get<QPushButton>("DownLoadButton")->isVisible());
  EXPECT_FALSE(Get<QPushButton>("ContinueButton")->isVisible());
  EXPECT_EQ(StatusShown(), "");
  EXPECT_TRUE(Get<QPlainTextEdit>("HeaderMemo")->toPlainText().startsWith("HTTP/1.0 200"));
}

TEST_F(Window, ClosingMidRunKeepsTheListAndContinueFinishesIt) {
  slowA = true;
  Open();
  Type("AddressEdit", QString::fromStdString(server.Url("/index.html")));
  ASSERT_TRUE(ForceDirectories(saveDir));
  Type("DirectoryEdit", QString::fromStdString(saveDir));
  window->form().Settings().JPGDownLoad = true;
  bool closed = false;
  SetMessagePump([&, pump = SetMessagePump({})] {
    if (!closed && StatusShown().rfind("a.jpg  (", 0) == 0) {
      closed = true;
      window->close();
      EXPECT_TRUE(window->isVisible());  // the run comes back first
    }
    pump();
  });
  QTest::mouseClick(Get<QPushButton>("DownLoadButton"), Qt::LeftButton);
  QTest::qWait(50);
  ASSERT_TRUE(closed);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(boxes.empty());  // nobody is left to read the aborted run's box
  EXPECT_TRUE(ListDirectory(saveDir).empty());

  boxes.clear();
  slowA = false;
  Open();  // the settings file holds the pending list
  EXPECT_TRUE(Get<QPushButton>("ContinueButton")->isVisible());
  EXPECT_EQ(Get<QPlainTextEdit>("BodyMemo")->toPlainText().toStdString(), "b.jpg\na.jpg");
  EXPECT_EQ(window->pendingLabel()->text().toStdString(), "残り 2 件");
  QTest::mouseClick(Get<QPushButton>("ContinueButton"), Qt::LeftButton);
  EXPECT_EQ(boxes, Strings{"ダウンロード完了"});
  EXPECT_EQ(ListDirectory(saveDir), (Strings{"a.jpg", "b.jpg"}));
  EXPECT_EQ(Get<QPlainTextEdit>("BodyMemo")->toPlainText(), QString());
}

// The session ends (SIGTERM) during a transfer: the run is aborted, the window closes when it has
// returned, and the settings file keeps every pending entry, the one in flight too.
TEST_F(Window, TerminationSignalMidRunSavesThePendingList) {
  slowA = true;
  Open();
  window->form().Settings().Retry = false;  // the abort alone would drop the entry in flight
  SignalBridge bridge;
  QObject::connect(&bridge, &SignalBridge::terminationRequested, window.get(),
                   &MainWindow::requestClose);
  Type("AddressEdit", QString::fromStdString(server.Url("/index.html")));
  ASSERT_TRUE(ForceDirectories(saveDir));
  Type("DirectoryEdit", QString::fromStdString(saveDir));
  window->form().Settings().JPGDownLoad = true;
  bool raised = false;
  SetMessagePump([&, pump = SetMessagePump({})] {
    if (!raised && StatusShown().rfind("a.jpg  (", 0) == 0) {
      raised = true;
      ::raise(SIGTERM);
    }
    pump();
  });
  QTest::mouseClick(Get<QPushButton>("DownLoadButton"), Qt::LeftButton);
  QTest::qWait(50);
  ASSERT_TRUE(raised);
  EXPECT_FALSE(window->isVisible());
  window.reset();
  const std::string ini = ReadFileBytes(iniFile);
  EXPECT_NE(ini.find("b.jpg"), std::string::npos);
  EXPECT_NE(ini.find("a.jpg"), std::string::npos);
  EXPECT_TRUE(ListDirectory(saveDir).empty());
}

TEST_F(Window, PopupPastesAndSavesTheList) {
  Open();
  auto trigger = [&](const char* name) {
    window->popupMenu()->findChild<QAction*>(name)->trigger();
    QCoreApplication::processEvents();  // the command runs once the menu has returned
  };
  for (ModalResult answer : {ModalResult::mrYes, ModalResult::mrNo}) {
    QGuiApplication::clipboard()->setText(
        QStringLiteral("http://h/d/1.jpg\nnot a url\nhttp://h/d/3.jpg"));
    answers = {answer};
    boxes.clear();
    trigger("UrlPaste");
    EXPECT_EQ(boxes, Strings{"not a url はＵＲＬとして、正しくありません。\r\n処理を続けますか？"});
  }
  // Yes went on with the third line; No stopped before it.
  EXPECT_EQ(Get<QPlainTextEdit>("BodyMemo")->toPlainText().toStdString(), "1.jpg\n3.jpg\n1.jpg");
  EXPECT_TRUE(Get<QPushButton>("ContinueButton")->isVisible());
  EXPECT_EQ(window->form().Settings().Item(0).Referer, "http://h/d/index.html");

  const std::string listFile = tmp.File("urls.txt");
  window->dialogs().setSaveAnswerer([&](const QString& title, const QString& filter) {
    EXPECT_EQ(filter.toStdString(),
              "テキストファイル ( *.TXT ) (*.txt);;すべてのファイル ( *.* ) (*.*)");
    (void)title;
    return std::optional<QString>(QString::fromStdString(tmp.File("urls")));
  });
  trigger("SaveURL");
  EXPECT_EQ(ReadFileBytes(listFile),
            "http://h/d/1.jpg\r\nhttp://h/d/3.jpg\r\nhttp://h/d/1.jpg\r\n");

  answers = {ModalResult::mrYes};
  trigger("ClearMemo");
  EXPECT_EQ(Get<QPlainTextEdit>("BodyMemo")->toPlainText(), QString());
  EXPECT_FALSE(Get<QPushButton>("ContinueButton")->isVisible());
}

TEST_F(Window, ArchiveCheckBoxSwitchesTheNameField) {
  Open();
  auto* box = Get<QCheckBox>("UseLhaCheckBox");
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
  EXPECT_TRUE(window->model().UseLhaCheckBox.Checked);
  EXPECT_TRUE(Get<QLineEdit>("LhaFileEdit")->isEnabled());
  Type("LhaFileEdit", QStringLiteral("pack"));
  EXPECT_EQ(window->model().LhaFileEdit.Text, "pack");
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
  EXPECT_FALSE(Get<QLineEdit>("LhaFileEdit")->isEnabled());
  EXPECT_FALSE(Get<QLabel>("Label5")->isEnabled());
}

TEST_F(Window, ArchiveBoxToggledByAccessibilitySwitchesTheNameField) {
  Open();
  auto* box = Get<QCheckBox>("UseLhaCheckBox");
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(a->actionInterface(), nullptr);
  for (bool ticked : {true, false, true}) {
    a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(window->model().UseLhaCheckBox.Checked, ticked);
    EXPECT_EQ(Get<QLineEdit>("LhaFileEdit")->isEnabled(), ticked);
    EXPECT_EQ(Get<QLabel>("Label5")->isEnabled(), ticked);
  }
  // The caption keeps the width it was fitted to when the model's bounds are shown again.
  auto* label = Get<QLabel>("Label5");
  EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
  window.reset();
  Open();  // kept in the settings file
  EXPECT_TRUE(Get<QCheckBox>("UseLhaCheckBox")->isChecked());
}

// A box comes up over the window as the run has left it: Download back, Abort hidden, the status
// cleared; and the status bar reads as what it shows.
TEST_F(Window, BoxesStandOverTheWindowAsTheModelIs) {
  slowA = true;
  Open();
  Type("AddressEdit", QString::fromStdString(server.Url("/index.html")));
  ASSERT_TRUE(ForceDirectories(saveDir));
  Type("DirectoryEdit", QString::fromStdString(saveDir));
  window->form().Settings().JPGDownLoad = true;
  int statusRead = 0;  // status texts read through the accessibility interface
  SetMessagePump([&, pump = SetMessagePump({})] {
    const QString shown = window->statusLabel()->text();
    if (!shown.isEmpty()) {
      ++statusRead;
      EXPECT_EQ(QAccessible::queryAccessibleInterface(window->statusLabel())
                    ->text(QAccessible::Name)
                    .toStdString(),
                shown.toStdString());
    }
    pump();
  });
  Strings seen;
  onBox = [&](const QString& text) {
    seen.push_back(text.toStdString());
    EXPECT_FALSE(Get<QPushButton>("DownLoadAbortButton")->isVisible());
    EXPECT_TRUE(Get<QPushButton>("DownLoadButton")->isVisible());
    EXPECT_EQ(StatusShown(), "");
  };
  QTest::mouseClick(Get<QPushButton>("DownLoadButton"), Qt::LeftButton);
  EXPECT_EQ(seen, Strings{"ダウンロード完了"});
  EXPECT_GT(statusRead, 0);

  struct Case {
    const char* status;
    const char* name;
  };
  const Case cases[] = {{"a.jpg  ( 3 / 6 )", "a.jpg  ( 3 / 6 )"}, {"", "状態"}};
  for (const Case& c : cases) {
    window->model().SetStatusText(c.status);
    window->syncFromModel();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window->statusLabel());
    EXPECT_EQ(a->text(QAccessible::Name).toStdString(), c.name);
    EXPECT_EQ(a->text(QAccessible::Description).toStdString(), "状態");
  }
  window->form().Settings().AddItem("http://h/x.jpg", "");
  window->syncFromModel();
  EXPECT_EQ(QAccessible::queryAccessibleInterface(window->pendingLabel())
                ->text(QAccessible::Name)
                .toStdString(),
            "残り 1 件");
}

// The session ends while a dialog or box is open: it is cancelled as Escape would, and the
// program saves the work list and closes.
TEST_F(Window, TerminationSignalCancelsAnOpenDialogAndSaves) {
  struct Case {
    const char* opens;  // a menu action, a button, or the paste command's question
    const char* dialogClass;
    bool inputBoxShown;  // the paste command's input box comes up, or is answered unseen
  };
  const Case cases[] = {
      {"Setting", "toravin::TSettingForm", false},
      {"About1", "toravin::TAboutForm", false},
      {"Button2", "toravin::TDirectoryChangeForm", false},
      {"UrlPaste", "QMessageBox", false},
      {"UrlPaste", "QInputDialog", true},
  };
  for (const Case& c : cases) {
    std::remove(iniFile.c_str());
    Open();
    SignalBridge bridge;
    QObject::connect(&bridge, &SignalBridge::terminationRequested, window.get(),
                     &MainWindow::requestClose);
    window->dialogs().setAnswerer([&c](const QString&, MsgDlgType, MsgDlgButtons b) {
      if (b == (mbOK | mbCancel) && !c.inputBoxShown) {
        return std::optional<ModalResult>(ModalResult::mrCancel);
      }
      return std::optional<ModalResult>();  // shown
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("http://h/d/1.jpg\nnot a url"));
    std::string modal;
    WhenModal([&](QWidget* w) {
      modal = w->metaObject()->className();
      ::raise(SIGTERM);
    });
    if (std::string(c.opens) == "Button2") {
      Get<QPushButton>("Button2")->click();
    } else if (std::string(c.opens) == "UrlPaste") {
      window->popupMenu()->findChild<QAction*>("UrlPaste")->trigger();
    } else {
      window->findChild<QAction*>(c.opens)->trigger();
    }
    // The dialog opens, the signal cancels it, the command returns, the window closes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 10000)) << c.opens;
    EXPECT_EQ(modal, c.dialogClass);
    window.reset();
    const std::string ini = ReadFileBytes(iniFile);
    EXPECT_EQ(ini.rfind("TPF0", 0), 0u) << c.opens;
    if (std::string(c.dialogClass) == "QMessageBox") {
      EXPECT_NE(ini.find("1.jpg"), std::string::npos);  // the line before the question
    }
  }
}

TEST_F(Window, F10GoesToTheMenuBarAndADialogGivesTheFocusBack) {
  Open();
  QApplication::setActiveWindow(window.get());
  auto* address = Get<QLineEdit>("AddressEdit");
  address->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), address);
  QTest::keyClick(address, Qt::Key_F10);
  EXPECT_EQ(QApplication::focusWidget(), window->menuBar());
  EXPECT_NE(window->menuBar()->activeAction(), nullptr);
  WhenModal([](QWidget* w) {
    if (auto* d = qobject_cast<QDialog*>(w)) d->accept();
  });
  window->findChild<QAction*>("About1")->trigger();
  QTest::qWait(10);
  QApplication::setActiveWindow(window.get());  // what the window manager does
  EXPECT_EQ(QApplication::focusWidget(), address);
}

}  // namespace
}  // namespace toravin::test
