// The dialogs on Qt, offscreen: layout, texts, tooltips and tab order from their tables, the
// numeric edit's widget behaviour, and one click-through of each dialog from the main window's
// commands. Modal dialogs are driven from a zero-time timer that acts on the active modal widget.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "main/DirectoryChangeModel.h"
#include "main/DirectoryCreateModel.h"
#include "main/ExtraSettingFormModel.h"
#include "main/MainForm.h"
#include "main/SettingFormModel.h"
#include "platform/Cp932.h"
#include "platform/RecordingDialogs.h"
#include "settings/ToraVinIniList.h"
#include "support/TempDir.h"
#include "ui/AboutForm.h"
#include "ui/Bindings.h"
#include "ui/DirectoryChangeForm.h"
#include "ui/DirectoryCreateForm.h"
#include "ui/DirectoryTreeModel.h"
#include "ui/ExtraSettingForm.h"
#include "ui/MainWindow.h"
#include "ui/NumEdit.h"
#include "ui/QtText.h"
#include "ui/SettingForm.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

// One application for the whole run, gone before the process's static objects are: Qt's own
// globals must outlive it.
class QtApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    m_app = std::make_unique<QApplication>(m_argc, m_argv);
  }
  void TearDown() override { m_app.reset(); }

 private:
  int m_argc = 1;
  char m_name[16] = "dialog_ui_tests";
  char* m_argv[2] = {m_name, nullptr};
  std::unique_ptr<QApplication> m_app;
};

// GoogleTest owns the environments it is given.
[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

class Ui : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    m_oldCwd = getcwd(cwd, sizeof cwd) ? cwd : "/";
  }
  void TearDown() override {
    if (chdir(m_oldCwd.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << m_oldCwd;
  }

  // Runs `act` on the modal dialog once it is up (the caller then opens it; a menu command
  // opens its dialog a turn of the event loop later).
  static void WhenModal(std::function<void(QWidget*)> act, int turns = 100) {
    QTimer::singleShot(0, [act, turns] {
      QWidget* w = QApplication::activeModalWidget();
      if (!w) {
        if (turns > 0) {
          WhenModal(act, turns - 1);
        } else {
          ADD_FAILURE() << "no modal dialog";
        }
        return;
      }
      act(w);
    });
  }
  // Chooses a menu command and lets it run.
  static void Choose(QAction* action) {
    action->trigger();
    QCoreApplication::processEvents();
  }
  // Turns of the event loop until `done`, at most `limit` of them.
  static bool Pump(const std::function<bool()>& done, int limit = 100000) {
    for (int i = 0; i < limit && !done(); ++i) QCoreApplication::processEvents();
    return done();
  }

  TempDir tmp;

 private:
  std::string m_oldCwd;
};

struct Place {
  const char* name;
  int left, top, width, height;
  const char* text;  // caption, title or initial text; nullptr: not checked
  const char* hint;
};

template <class Widget>
void ExpectPlaces(Widget& w, std::initializer_list<Place> places) {
  for (const Place& p : places) {
    QWidget* c = w.controls().widget(p.name);
    ASSERT_NE(c, nullptr) << p.name;
    EXPECT_EQ(c->pos(), QPoint(p.left, p.top)) << p.name;
    // Labels grow to their text; everything else keeps its size.
    if (!qobject_cast<QLabel*>(c)) {
      EXPECT_EQ(c->size(), QSize(p.width, p.height)) << p.name;
    }
    EXPECT_EQ(c->toolTip(), QString::fromUtf8(p.hint)) << p.name;
    if (!p.text) continue;
    QString text;
    if (auto* b = qobject_cast<QAbstractButton*>(c)) text = b->text();
    if (auto* l = qobject_cast<QLabel*>(c)) text = l->text();
    if (auto* e = qobject_cast<QLineEdit*>(c)) text = e->text();
    if (auto* g = qobject_cast<QGroupBox*>(c)) text = g->title();
    EXPECT_EQ(text, QString::fromUtf8(p.text)) << p.name;
  }
}

Strings Names(const std::vector<QWidget*>& chain) {
  Strings out;
  for (QWidget* w : chain) out.push_back(w->objectName().toStdString());
  return out;
}

// ---- the numeric edit ----

TEST_F(Ui, NumEditTypesRightAlignedWithTheCaretBehindTheNumber) {
  QWidget host;
  host.resize(200, 60);
  auto* edit = new TNumEdit(&host);
  edit->setGeometry(10, 10, 121, 20);
  host.show();
  int changes = 0;
  QObject::connect(edit, &TNumEdit::changed, [&] { ++changes; });
  QTest::keyClicks(edit, "1234.5");
  EXPECT_EQ(edit->text(), "1234.5");
  EXPECT_EQ(edit->imageText(), "1,234.5");
  EXPECT_EQ(changes, 6);
  QTest::keyClick(edit, Qt::Key_Minus);
  EXPECT_EQ(edit->text(), "-1234.5");
  QTest::keyClick(edit, Qt::Key_Minus);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), "1234");  // the point goes with the last fraction digit
  // The number is drawn against the right margin: its ink ends near the right edge.
  QImage image(edit->size(), QImage::Format_RGB32);
  edit->render(&image);
  int rightmostInk = -1, leftmostInk = edit->width();
  const QRgb base = image.pixel(edit->width() / 2, 3);
  for (int x = 3; x < edit->width() - 3; ++x) {
    for (int y = 4; y < edit->height() - 4; ++y) {
      if (qGray(image.pixel(x, y)) < qGray(base) - 80) {
        rightmostInk = std::max(rightmostInk, x);
        leftmostInk = std::min(leftmostInk, x);
      }
    }
  }
  EXPECT_GT(rightmostInk, edit->width() - 10);
  EXPECT_GT(leftmostInk, edit->width() / 2);
  edit->setFocus();
  if (edit->hasFocus()) {
    const QRect caret = edit->caretRect();
    EXPECT_EQ(caret.width(), 1);
    EXPECT_EQ(caret.height(), edit->font().pixelSize() > 0 ? edit->font().pixelSize()
                                                           : edit->fontMetrics().height());
    EXPECT_GE(caret.right(), edit->width() - edit->margins().right() - edit->frameWidth() - 2);
  }
}

TEST_F(Ui, NumEditMouseSelectsAllOrNothing) {
  QWidget host;
  auto* edit = new TNumEdit(&host);
  edit->setText("42");
  host.show();
  QTest::mouseDClick(edit, Qt::LeftButton);
  EXPECT_TRUE(edit->model().AllSelected());
  QTest::mousePress(edit, Qt::LeftButton);  // a plain press drops the selection
  EXPECT_FALSE(edit->model().AllSelected());
  const QPointF at(20, 10);
  QMouseEvent drag(QEvent::MouseMove, at, edit->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(edit, &drag);
  EXPECT_TRUE(edit->model().AllSelected());
  QTest::mouseRelease(edit, Qt::LeftButton);
  QTest::keyClick(edit, Qt::Key_Home);  // cursor keys only drop the selection
  EXPECT_FALSE(edit->model().AllSelected());
  EXPECT_EQ(edit->text(), "42");
}

TEST_F(Ui, NumEditInputMethodCommitsOnlyWhatTheTextRuleTakes) {
  TNumEdit edit;
  QInputMethodEvent wide;
  wide.setCommitString(QString::fromUtf8("１２．５"));
  QApplication::sendEvent(&edit, &wide);
  EXPECT_EQ(edit.text(), "12.5");
  QInputMethodEvent kana;
  kana.setCommitString(QString::fromUtf8("あいう"));
  QApplication::sendEvent(&edit, &kana);
  QInputMethodEvent preedit(QString::fromUtf8("９"), {});
  QApplication::sendEvent(&edit, &preedit);  // composing text is not the value
  EXPECT_EQ(edit.text(), "12.5");
  EXPECT_TRUE(edit.inputMethodQuery(Qt::ImEnabled).toBool());
  EXPECT_EQ(edit.inputMethodQuery(Qt::ImSurroundingText).toString(), "12.5");
}

TEST_F(Ui, NumEditContextMenuItemsFollowTheSelection) {
  TNumEdit edit;
  QApplication::clipboard()->setText("77");
  edit.setText("12");
  auto enabled = [&](const char* name) {
    std::unique_ptr<QMenu> menu = edit.createContextMenu();
    QAction* a = menu->findChild<QAction*>(name);
    return a && a->isEnabled();
  };
  std::unique_ptr<QMenu> menu = edit.createContextMenu();
  QStringList captions;
  for (QAction* a : menu->actions()) captions << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(captions.join('|'),
            QString::fromUtf8("元に戻す(&U)|-|切り取り(&T)|コピー(&C)|貼り付け(&P)|削除(&D)|-|"
                              "すべて選択(&A)"));
  EXPECT_FALSE(enabled("Copy"));
  EXPECT_TRUE(enabled("SelectAll"));
  EXPECT_TRUE(enabled("Paste"));
  QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(enabled("Copy"));
  EXPECT_TRUE(enabled("Cut"));
  EXPECT_FALSE(enabled("SelectAll"));
  QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "12");
  QTest::keyClick(&edit, Qt::Key_3);  // replaces the selection
  EXPECT_EQ(edit.text(), "3");
  menu = edit.createContextMenu();
  menu->findChild<QAction*>("Undo")->trigger();
  EXPECT_EQ(edit.text(), "12");
}

// ---- the settings dialog ----

class UiWithForm : public Ui {
 protected:
  void SetUp() override {
    Ui::SetUp();
    form = std::make_unique<TFormModel>();
    TMainForm::Options options;
    options.timings = Timings::NoPauses();
    options.iniFileName = tmp.File("ToraVin.ini");
    mf = std::make_unique<TMainForm>(*form, dialogs, options);
    mf->FormCreate();
  }
  RecordingDialogs dialogs;
  std::unique_ptr<TFormModel> form;
  std::unique_ptr<TMainForm> mf;
};

TEST_F(UiWithForm, SettingFormLayoutTextsAndTabOrder) {
  TSettingFormModel model(*mf);
  TSettingForm dialog(nullptr, model);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("設定項目"));
  EXPECT_EQ(dialog.size(), QSize(536, 348));
  ExpectPlaces(
      dialog,
      {
          {"FileChoiceCheckBox", 16, 16, 225, 17, "ファイル名を選択してダウンロードする", ""},
          {"ChoiceGroupBox", 16, 40, 233, 177, "ダウンロードするファイルを選択", ""},
          {"Label6", 13, 16, 212, 12, "ワイルドカード（　＊　と　？　）も使えます。", ""},
          {"JpegFileEdit", 96, 40, 121, 20, nullptr, ""},
          {"ZipFileEdit", 96, 101, 121, 20, nullptr, ""},
          {"HtmlCheckBox", 16, 136, 73, 17, "Html File", ""},
          {"ProxyCheckBox", 288, 16, 169, 17, "プロキシーサーバーを使う", ""},
          {"ProxyGroupBox", 288, 40, 225, 137, "プロキシーサーバー", ""},
          {"Label5", 8, 24, 46, 12, "：アドレス", ""},
          {"Label7", 8, 80, 37, 12, "：ポート", ""},
          {"PortEdit", 8, 96, 121, 20, nullptr, "ここにプロキシーサーバーのポートを入力"},
          {"FileSizeCheckBox", 288, 200, 225, 17, "ダウンロードするファイルをサイズで選択", ""},
          {"FileSizeEdit", 376, 224, 121, 20, nullptr,
           "この大きさ未満のファイルはダウンロードしない。"},
          {"Label8", 504, 232, 15, 12, "KB", ""},
          {"Label1", 16, 240, 238, 12, "エンコードされたＨＴＭＬファイルの解釈に対して", ""},
          {"UseTarCheckBox", 16, 256, 129, 17, "ＧＺＤＥＣ．ＤＬＬを使う", ""},
          {"RetryCheckBox", 288, 256, 217, 17, "ダウンロードに失敗したときリトライする", ""},
          {"RetryCountEdit", 376, 280, 121, 20, nullptr, ""},
          {"Label2", 504, 288, 12, 12, "回", ""},
          {"ExtraButton", 16, 278, 105, 23, "拡張設定…",
           "同時に転送する数、ページの読み方、ほかの画像の種類"},
          {"Panel1", 0, 307, 536, 41, nullptr, ""},
          {"YesBitBtn", 152, 8, 75, 25, "はい", ""},
          {"NoBitBtn", 288, 8, 75, 25, "いいえ", ""},
      });
  EXPECT_EQ(Names(dialog.tabOrder()),
            (Strings{"FileChoiceCheckBox", "JpegFileEdit",  "GifFileEdit",    "ZipFileEdit",
                     "HtmlFileEdit",       "JpegCheckBox",  "GifCheckBox",    "ZipCheckBox",
                     "HtmlCheckBox",       "ProxyCheckBox", "AddressEdit",    "PortEdit",
                     "FileSizeCheckBox",   "YesBitBtn",     "NoBitBtn",       "UseTarCheckBox",
                     "FileSizeEdit",       "RetryCheckBox", "RetryCountEdit", "ExtraButton"}));
  // The focus chain itself, as Tab walks it.
  Strings walked;
  QWidget* w = dialog.tabOrder().front();
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty()) {
      walked.push_back(w->objectName().toStdString());
    }
    w = w->nextInFocusChain();
  } while (w != dialog.tabOrder().front() && walked.size() < 40);
  EXPECT_EQ(walked, Names(dialog.tabOrder()));
  for (QLabel* label : dialog.findChildren<QLabel*>()) {  // no label is cut at its parent's edge
    EXPECT_LE(label->x() + label->width(), label->parentWidget()->width())
        << label->objectName().toStdString();
  }
  EXPECT_TRUE(dialog.controls().get<QPushButton>("YesBitBtn")->isDefault());
  auto* port = static_cast<TNumEdit*>(dialog.controls().widget("PortEdit"));
  auto* retry = static_cast<TNumEdit*>(dialog.controls().widget("RetryCountEdit"));
  EXPECT_EQ(port->alignment(), TNumEdit::taRightJustify);
  QTest::keyClick(retry, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(retry, "1234.5");
  EXPECT_EQ(retry->imageText(), "1,234.5");
  EXPECT_FALSE(retry->accessibleName().isEmpty());
}

TEST_F(UiWithForm, SettingFormChecksEnableTheirGroupsAndEnterConfirms) {
  mf->Settings().DoFileChoice = false;
  mf->Settings().JPGDownLoad = false;
  TSettingFormModel model(*mf);
  TSettingForm dialog(nullptr, model);
  dialog.show();
  auto* group = dialog.controls().get<QGroupBox>("ChoiceGroupBox");
  auto* jpeg = dialog.controls().get<QCheckBox>("JpegCheckBox");
  EXPECT_FALSE(group->isEnabled());
  EXPECT_FALSE(jpeg->isEnabled());  // shown with its value, not changeable
  dialog.controls().get<QCheckBox>("FileChoiceCheckBox")->click();
  EXPECT_TRUE(jpeg->isEnabled());
  EXPECT_FALSE(dialog.controls().widget("JpegFileEdit")->isEnabled());
  jpeg->click();
  EXPECT_TRUE(dialog.controls().widget("JpegFileEdit")->isEnabled());
  auto* proxy = dialog.controls().get<QCheckBox>("ProxyCheckBox");
  proxy->click();
  EXPECT_TRUE(dialog.controls().widget("ProxyGroupBox")->isEnabled());
  auto* port = static_cast<TNumEdit*>(dialog.controls().widget("PortEdit"));
  QTest::keyClicks(port, "3128");
  QTest::keyClicks(dialog.controls().get<QLineEdit>("AddressEdit"), "127.0.0.1");
  QTest::keyClick(port, Qt::Key_Return);  // passed on to the default button
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(mf->Settings().DoFileChoice);
  EXPECT_TRUE(mf->Settings().JPGDownLoad);
  EXPECT_EQ(mf->Settings().ProxyPort, "3128");
  EXPECT_EQ(mf->HttpClient1.Proxy, "127.0.0.1");
  EXPECT_EQ(mf->HttpClient1.ProxyPort, 3128);
}

TEST_F(UiWithForm, SettingFormBadMaskKeepsTheDialogOpenOnTheField) {
  mf->Settings().DoFileChoice = true;
  mf->Settings().ZIPDownLoad = true;
  TSettingFormModel model(*mf);
  TSettingForm dialog(nullptr, model);
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  auto* zip = dialog.controls().get<QLineEdit>("ZipFileEdit");
  zip->clear();
  QTest::keyClicks(zip, "a[b.zip");
  dialog.controls().get<QPushButton>("YesBitBtn")->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialogs.BoxTexts().size(), 1u);
  EXPECT_EQ(model.FocusControl, "ZipFileEdit");
  EXPECT_NE(mf->Settings().ZipName, "a[b.zip");
}

// What a screen reader does to a check box: its only action, "toggle", changes the state without
// a click. Every box's handler must still run, and confirm must store the new state.
void ToggleByAccessibility(QWidget* box) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(box);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(a->actionInterface(), nullptr);
  a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
}

// 拡張設定: its layout and tab order, every control named, a box ticked through the accessibility
// action enabling its mask like a click, the reader chosen by keyboard, and Enter confirming into
// the engine while Escape leaves it alone.
TEST_F(UiWithForm, ExtraSettingFormLayoutKeyboardAndConfirm) {
  TExtraSettingFormModel model(*mf);
  TExtraSettingForm dialog(nullptr, model);
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("拡張設定"));
  ExpectPlaces(
      dialog,
      {
          {"Label1", 16, 20, 100, 12, "同時に転送する数：", ""},
          {"ParallelEdit", 128, 16, 49, 20, nullptr, "いくつのファイルを同時に転送するか（1～32）"},
          {"ReaderGroupBox", 16, 48, 369, 69, "ページの読み方", ""},
          {"PatternsRadio", 16, 20, 337, 17, "リンクのパターンで探す（従来どおり）", ""},
          {"HtmlRadio", 16, 42, 337, 17, "HTMLとして読む", "srcset、data-src、picture なども読む"},
          {"PngCheckBox", 16, 26, 81, 17, "Png File", ""},
          {"SvgFileEdit", 112, 120, 121, 20, nullptr, ""},
          {"ConnectionCheckBox", 16, 292, 369, 17, "接続を使い回す（HTTP/1.1・HTTP/2）",
           "同じサーバーからの次のファイルにも同じ接続を使う"},
          {"YesBitBtn", 104, 8, 75, 25, "はい", ""},
      });
  EXPECT_EQ(Names(dialog.tabOrder()),
            (Strings{"ParallelEdit", "PatternsRadio", "HtmlRadio", "PngFileEdit", "WebpFileEdit",
                     "AvifFileEdit", "SvgFileEdit", "PngCheckBox", "WebpCheckBox", "AvifCheckBox",
                     "SvgCheckBox", "ConnectionCheckBox", "YesBitBtn", "NoBitBtn"}));
  for (QWidget* w : dialog.tabOrder()) {
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }
  EXPECT_EQ(dialog.controls().widget("ParallelEdit")->accessibleName(),
            QString::fromUtf8("同時に転送する数"));
  auto* png = dialog.controls().get<QCheckBox>("PngCheckBox");
  auto* pngMask = dialog.controls().get<QLineEdit>("PngFileEdit");
  EXPECT_FALSE(pngMask->isEnabled());
  ToggleByAccessibility(png);  // a screen reader's action: no click
  EXPECT_TRUE(model.PngCheckBox.Checked);
  EXPECT_TRUE(pngMask->isEnabled());
  auto* html = dialog.controls().get<QRadioButton>("HtmlRadio");
  html->setFocus();
  QTest::keyClick(html, Qt::Key_Space);
  EXPECT_TRUE(model.HtmlRadio.Checked);
  EXPECT_FALSE(model.PatternsRadio.Checked);
  auto* keep = dialog.controls().get<QCheckBox>("ConnectionCheckBox");
  EXPECT_FALSE(keep->isChecked());
  keep->setFocus();
  QTest::keyClick(keep, Qt::Key_Space);
  EXPECT_TRUE(model.ConnectionCheckBox.Checked);
  QTest::keyClick(pngMask, Qt::Key_Return);  // passed on to the default button
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(mf->RunOptions().Connection, ConnectionUse::Keep);
  EXPECT_TRUE(mf->RunOptions().Png.DownLoad);
  EXPECT_EQ(mf->RunOptions().Reader, LinkReader::Html);

  TExtraSettingFormModel again(*mf);
  TExtraSettingForm second(nullptr, again);
  second.show();
  QApplication::setActiveWindow(&second);
  second.controls().get<QCheckBox>("SvgCheckBox")->click();
  QTest::keyClick(&second, Qt::Key_Escape);
  EXPECT_EQ(second.result(), QDialog::Rejected);
  EXPECT_FALSE(mf->RunOptions().Svg.DownLoad);
}

TEST_F(UiWithForm, SettingFormBoxesToggledByAccessibilityRunTheirHandlersAndAreStored) {
  TToraVinIniList& store = mf->Settings();
  store.DoFileChoice = store.JPGDownLoad = store.GIFDownLoad = store.ZIPDownLoad = false;
  store.HTMLDownLoad = store.ProxyUse = store.FileSizeCheck = store.UseTar = store.Retry = false;
  store.RetryCount = "3";
  struct Case {
    const char* box;
    const char* follower;  // enabled exactly while the box is ticked
    bool TToraVinIniList::*field;
  };
  const Case cases[] = {
      {"FileChoiceCheckBox", "ChoiceGroupBox", &TToraVinIniList::DoFileChoice},
      {"JpegCheckBox", "JpegFileEdit", &TToraVinIniList::JPGDownLoad},
      {"GifCheckBox", "GifFileEdit", &TToraVinIniList::GIFDownLoad},
      {"ZipCheckBox", "ZipFileEdit", &TToraVinIniList::ZIPDownLoad},
      {"HtmlCheckBox", "HtmlFileEdit", &TToraVinIniList::HTMLDownLoad},
      {"ProxyCheckBox", "ProxyGroupBox", &TToraVinIniList::ProxyUse},
      {"FileSizeCheckBox", "FileSizeEdit", &TToraVinIniList::FileSizeCheck},
      {"UseTarCheckBox", nullptr, &TToraVinIniList::UseTar},
      {"RetryCheckBox", "RetryCountEdit", &TToraVinIniList::Retry},
  };
  TSettingFormModel model(*mf);
  TSettingForm dialog(nullptr, model);
  dialog.show();
  for (const Case& c : cases) {
    auto* box = dialog.controls().get<QCheckBox>(c.box);
    if (c.follower) {
      EXPECT_FALSE(dialog.controls().widget(c.follower)->isEnabled()) << c.box;
    }
    ToggleByAccessibility(box);
    EXPECT_TRUE(box->isChecked()) << c.box;
    if (c.follower) {
      EXPECT_TRUE(dialog.controls().widget(c.follower)->isEnabled()) << c.box;
    }
  }
  // A second toggle takes the follower back; a third ticks it again.
  auto* retry = dialog.controls().get<QCheckBox>("RetryCheckBox");
  ToggleByAccessibility(retry);
  EXPECT_FALSE(dialog.controls().widget("RetryCountEdit")->isEnabled());
  ToggleByAccessibility(retry);
  dialog.controls().get<QPushButton>("YesBitBtn")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  for (const Case& c : cases) EXPECT_TRUE(store.*c.field) << c.box;
}

TEST_F(UiWithForm, NumericEditsReadAndTypeThroughAccessibility) {
  mf->Settings().ProxyUse = true;
  mf->Settings().ProxyPort = "8080";
  mf->Settings().RetryCount = "2";
  mf->Settings().Retry = false;  // a count with a fraction is refused only while retrying
  TSettingFormModel model(*mf);
  TSettingForm dialog(nullptr, model);
  dialog.show();
  struct Case {
    const char* edit;
    const char* name;
    const char* description;
    const char* shown;  // the value after FormShow
    const char* typed;  // set through the editable-text interface
    const char* kept;   // what the text rule makes of it
  };
  const Case cases[] = {
      {"PortEdit", "ポート", "ここにプロキシーサーバーのポートを入力", "8080", "３１２８", "3128"},
      {"FileSizeEdit", "この大きさ未満のファイルはダウンロードしない。",
       "この大きさ未満のファイルはダウンロードしない。", "", "12.5", "12"},
      {"RetryCountEdit", "リトライ回数", "", "2", "1,234.5678", "1234.567"},
  };
  for (const Case& c : cases) {
    auto* edit = static_cast<TNumEdit*>(dialog.controls().widget(c.edit));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(edit);
    ASSERT_NE(a, nullptr) << c.edit;
    EXPECT_EQ(a->role(), QAccessible::EditableText) << c.edit;
    EXPECT_EQ(a->text(QAccessible::Name).toStdString(), c.name) << c.edit;
    EXPECT_EQ(a->text(QAccessible::Description).toStdString(), c.description) << c.edit;
    EXPECT_EQ(a->text(QAccessible::Value).toStdString(), c.shown) << c.edit;
    ASSERT_NE(a->textInterface(), nullptr) << c.edit;
    EXPECT_EQ(a->textInterface()->text(0, -1).toStdString(), c.shown) << c.edit;
    ASSERT_NE(a->valueInterface(), nullptr) << c.edit;
    ASSERT_NE(a->editableTextInterface(), nullptr) << c.edit;
    a->editableTextInterface()->replaceText(0, a->textInterface()->characterCount(),
                                            QString::fromUtf8(c.typed));
    EXPECT_EQ(edit->text().toStdString(), c.kept) << c.edit;
    EXPECT_EQ(a->textInterface()->characterCount(), static_cast<int>(strlen(c.kept))) << c.edit;
    EXPECT_DOUBLE_EQ(a->valueInterface()->currentValue().toDouble(), std::stod(c.kept)) << c.edit;
  }
  // The label names its field, as a relation too.
  QAccessibleInterface* port =
      QAccessible::queryAccessibleInterface(dialog.controls().widget("PortEdit"));
  bool labelled = false;
  for (const auto& [other, relation] : port->relations(QAccessible::Label)) {
    labelled |= other->object() == dialog.controls().widget("Label7");
  }
  EXPECT_TRUE(labelled);
  // Setting the value and deleting characters go through the text rule as well.
  port->valueInterface()->setCurrentValue(80);
  EXPECT_EQ(model.PortEdit.Text(), "80");
  port->editableTextInterface()->deleteText(1, 2);
  EXPECT_EQ(model.PortEdit.Text(), "8");
  port->editableTextInterface()->insertText(1, QStringLiteral("x9"));  // "x" ends the number
  EXPECT_EQ(model.PortEdit.Text(), "8");
  dialog.controls().get<QPushButton>("YesBitBtn")->click();
  EXPECT_EQ(mf->Settings().ProxyPort, "8");
  EXPECT_EQ(mf->Settings().RetryCount, "1234.567");
}

TEST_F(UiWithForm, FixedDialogsHaveOnlyACloseButtonAndStayOnScreen) {
  TSettingFormModel model(*mf);
  TSettingForm settings(nullptr, model);
  TAboutForm about(nullptr);
  for (QWidget* d : std::initializer_list<QWidget*>{&settings, &about}) {
    const Qt::WindowFlags f = d->windowFlags();
    EXPECT_TRUE(f & Qt::WindowCloseButtonHint) << d->objectName().toStdString();
    EXPECT_FALSE(f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(f & Qt::MSWindowsFixedSizeDialogHint);
  }
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  struct Case {
    QPoint at;
    QPoint want;
  };
  const QSize size = settings.size();
  const Case cases[] = {
      {{192, 107}, {192, 107}},  // fits: left where it is
      {{room.right() - 10, room.bottom() - 10},
       {room.right() + 1 - size.width(), room.bottom() + 1 - size.height() - 30}},
      {{-50, -40}, {room.left(), room.top()}},
  };
  for (const Case& c : cases) {
    settings.move(c.at);
    KeepOnScreen(&settings);
    EXPECT_EQ(settings.pos(), c.want) << c.at.x() << "," << c.at.y();
  }
  // Larger than the screen: its top-left corner.
  QWidget big;
  big.resize(room.width() + 100, room.height() + 100);
  big.move(300, 200);
  KeepOnScreen(&big);
  EXPECT_EQ(big.pos(), room.topLeft());
}

// ---- the main window's commands ----

class UiWithWindow : public Ui {
 protected:
  void SetUp() override {
    Ui::SetUp();
    TMainForm::Options options;
    options.timings = Timings::NoPauses();
    options.iniFileName = tmp.File("ToraVin.ini");
    window = std::make_unique<MainWindow>(options);
    window->dialogs().setAnswerer([this](const QString& text, MsgDlgType, MsgDlgButtons) {
      boxes.push_back(text.toStdString());
      return std::optional<ModalResult>(ModalResult::mrOk);
    });
  }
  void TearDown() override {
    window.reset();
    Ui::TearDown();
  }
  QAction* Action(const char* name) { return window->findChild<QAction*>(name); }

  std::unique_ptr<MainWindow> window;
  Strings boxes;
};

TEST_F(UiWithWindow, SettingCommandOpensTheDialogAndConfirmStores) {
  bool seen = false;
  WhenModal([&](QWidget* w) {
    auto* d = qobject_cast<TSettingForm*>(w);
    ASSERT_NE(d, nullptr);
    seen = true;
    EXPECT_TRUE(d->controls().widget("YesBitBtn")->isEnabled());
    d->controls().get<QCheckBox>("UseTarCheckBox")->click();
    d->controls().get<QCheckBox>("RetryCheckBox")->click();
    auto* retry = static_cast<TNumEdit*>(d->controls().widget("RetryCountEdit"));
    QTest::keyClick(retry, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(retry, "4");
    d->controls().get<QPushButton>("YesBitBtn")->click();
  });
  window->form().Settings().Retry = false;
  const bool tar = window->form().Settings().UseTar;
  Choose(Action("Setting"));
  EXPECT_TRUE(seen);
  EXPECT_NE(window->form().Settings().UseTar, tar);
  EXPECT_EQ(window->form().Settings().RetryCount, "4");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(UiWithWindow, SettingCommandDuringARunOffersOnlyCancel) {
  window->model().DownLoadButton.Enabled = false;  // as during a run
  const std::string before = window->form().Settings().JpegName;
  bool seen = false;
  WhenModal([&](QWidget* w) {
    auto* d = qobject_cast<TSettingForm*>(w);
    ASSERT_NE(d, nullptr);
    seen = true;
    EXPECT_FALSE(d->controls().widget("YesBitBtn")->isEnabled());
    QTest::keyClicks(d->controls().get<QLineEdit>("JpegFileEdit"), "x");
    QTest::keyClick(d, Qt::Key_Return);  // the disabled default button does nothing
    EXPECT_TRUE(d->isVisible());
    QTest::keyClick(d, Qt::Key_Escape);
  });
  Choose(Action("Setting"));
  EXPECT_TRUE(seen);
  EXPECT_EQ(window->form().Settings().JpegName, before);
}

TEST_F(UiWithWindow, AboutCommandShowsTheVersionBox) {
  bool seen = false;
  WhenModal([&](QWidget* w) {
    auto* d = qobject_cast<TAboutForm*>(w);
    ASSERT_NE(d, nullptr);
    seen = true;
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("ToraVin バージョン情報"));
    EXPECT_EQ(d->size(), QSize(232, 259));
    ExpectPlaces(*d, {
                         {"Label5", 16, 16, 170, 16, "ファイル名：　　　ＴｏｒａＶｉｎ", ""},
                         {"Label1", 16, 40, 167, 16, "バージョン：　　　１．18．0", ""},
                         {"Label2", 16, 112, 48, 19, "注意：", ""},
                         {"Label3", 38, 136, 101, 13, "転送プロトコルは、", ""},
                         {"Label7", 38, 152, 133, 13, "ＨＴＴＰとＨＴＴＰＳに対応しています。", ""},
                         {"OKButton", 80, 216, 75, 25, "OK", ""},
                     });
    EXPECT_EQ(d->controls().widget("Label5")->font().pixelSize(), 16);
    EXPECT_EQ(d->controls().widget("Label2")->font().pixelSize(), 19);
    EXPECT_EQ(d->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    auto* label7 = d->controls().widget("Label7");
    EXPECT_LE(label7->x() + label7->width(), d->width());  // the note is not cut at the edge
    d->controls().get<QPushButton>("OKButton")->click();
  });
  Choose(Action("About1"));
  EXPECT_TRUE(seen);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(UiWithWindow, DirectoryButtonPresetsTheListAndOkFillsTheSaveDirectory) {
  const std::string save = tmp.File("表");
  ASSERT_EQ(::mkdir(save.c_str(), 0777), 0);
  ASSERT_EQ(::mkdir((save + "/sub").c_str(), 0777), 0);
  auto* edit = window->controls().get<QLineEdit>("DirectoryEdit");
  edit->setText(QString::fromStdString(save));
  QTest::keyClicks(edit, "/");  // typed by the user: the model follows the edit
  ASSERT_EQ(window->model().DirectoryEdit.Text, Utf8ToCp932(save + "/"));
  bool seen = false;
  WhenModal([&](QWidget* w) {
    auto* d = qobject_cast<TDirectoryChangeForm*>(w);
    ASSERT_NE(d, nullptr);
    seen = true;
    EXPECT_EQ(d->parentWidget(), window.get());
    EXPECT_EQ(d->tree().pathOf(d->treeView()->currentIndex()), save);
    d->showDirectory(save + "/sub");
    d->controls().get<QPushButton>("OKButton")->click();
  });
  window->controls().get<QPushButton>("Button2")->click();
  EXPECT_TRUE(seen);
  EXPECT_EQ(window->model().DirectoryEdit.Text, Utf8ToCp932(save + "/sub"));
  EXPECT_EQ(edit->text().toStdString(), save + "/sub");
}

// ---- the directory dialogs ----

class UiDirectories : public Ui {
 protected:
  void SetUp() override {
    Ui::SetUp();
    base = tmp.File("base");
    for (const char* d : {"base", "base/save", "base/save/表", "base/save/ソ", "base/save/能",
                          "base/save/画像", "base/start"}) {
      ::mkdir(tmp.File(d).c_str(), 0777);
    }
  }
  std::unique_ptr<TDirectoryChangeModel> Model() {
    auto m = std::make_unique<TDirectoryChangeModel>(form, dialogs, Utf8ToCp932(base + "/start"));
    return m;
  }
  static QStringList Children(DirectoryTreeModel& tree, const QModelIndex& at) {
    QStringList out;
    for (int r = 0; r < tree.rowCount(at); ++r) out << tree.index(r, 0, at).data().toString();
    return out;
  }

  std::string base;
  TFormModel form;
  RecordingDialogs dialogs;
};

TEST_F(UiDirectories, ChangeFormLayoutPresetAndTreeNames) {
  form.DirectoryEdit.Text = Utf8ToCp932(base + "/save");
  auto model = Model();
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("保存するディレクトリーを指定してください。"));
  EXPECT_EQ(dialog.size(), QSize(347, 263));
  ExpectPlaces(dialog, {
                           {"DriveComboBox1", 48, 16, 257, 18, nullptr, "ドライブを変更"},
                           {"DirectoryListBox1", 48, 48, 257, 137, nullptr, "ディレクトリーを変更"},
                           {"OKButton", 8, 208, 105, 41, "ＯＫ", "変更してもいいよ"},
                           {"CancelButton", 128, 208, 99, 41, "キャンセル", "変えちゃ、いや！"},
                           {"DirectoryCreateButton", 240, 208, 99, 41, "新規作成",
                            "新しいディレクトリーを作る"},
                       });
  EXPECT_EQ(Names(dialog.tabOrder()), (Strings{"DriveComboBox1", "DirectoryListBox1", "OKButton",
                                               "CancelButton", "DirectoryCreateButton"}));
  EXPECT_EQ(dialog.driveBox()->itemText(0), "/");
  const QModelIndex current = dialog.treeView()->currentIndex();
  EXPECT_EQ(dialog.tree().pathOf(current), base + "/save");
  ASSERT_TRUE(Pump([&] { return dialog.tree().listed(current); }));
  EXPECT_EQ(Children(dialog.tree(), current),
            (QStringList{QString::fromUtf8("ソ"), QString::fromUtf8("画像"),
                         QString::fromUtf8("能"), QString::fromUtf8("表")}));
}

TEST_F(UiDirectories, TheDriveSelectorIsNamedByItsRoleNotItsValue) {
  auto model = Model();
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  QAccessibleInterface* drive = QAccessible::queryAccessibleInterface(dialog.driveBox());
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(drive->role(), QAccessible::ComboBox);
  EXPECT_EQ(drive->text(QAccessible::Name).toStdString(), "ドライブ");
  EXPECT_EQ(drive->text(QAccessible::Value).toStdString(), "/");
}

TEST_F(UiDirectories, ChoosingADirectoryWritesItBackAndCancelDoesNot) {
  form.DirectoryEdit.Text = Utf8ToCp932(base + "/missing");
  auto model = Model();
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  EXPECT_EQ(model->Directory(), base + "/start");  // the start directory stands in
  dialog.showDirectory(base + "/save/表");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(std::string(cwd), base + "/save/表");  // the list's directory is the current one
  dialog.controls().get<QPushButton>("OKButton")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(form.DirectoryEdit.Text, Utf8ToCp932(base + "/save/表"));

  form.DirectoryEdit.Text = "unchanged";
  auto again = Model();
  TDirectoryChangeForm second(nullptr, *again);
  second.show();
  second.showDirectory(base + "/save");
  second.controls().get<QPushButton>("CancelButton")->click();
  EXPECT_EQ(second.result(), QDialog::Rejected);
  EXPECT_EQ(form.DirectoryEdit.Text, "unchanged");
}

TEST_F(UiDirectories, ChoosingADriveMovesTheListToIt) {
  auto model = Model();
  model->Drives = {"/", base + "/save"};  // a second drive: as a mounted stick would be
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  EXPECT_EQ(model->Directory(), base + "/start");
  EXPECT_EQ(dialog.driveBox()->count(), 2);
  EXPECT_EQ(dialog.driveBox()->currentIndex(), 0);
  emit dialog.driveBox()->activated(1);
  EXPECT_EQ(model->Directory(), base + "/save");
  EXPECT_EQ(dialog.tree().root(), base + "/save");
  EXPECT_EQ(dialog.driveBox()->currentIndex(), 1);
  const QModelIndex top = dialog.tree().index(0, 0);
  EXPECT_EQ(top.data().toString().toStdString(), base + "/save");
  ASSERT_TRUE(Pump([&] { return dialog.tree().listed(top); }));
  EXPECT_EQ(dialog.tree().rowCount(top), 4);
}

TEST_F(UiDirectories, SelectingAnItemInTheTreeMovesTheList) {
  form.DirectoryEdit.Text = Utf8ToCp932(base + "/save");
  auto model = Model();
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  const QModelIndex current = dialog.treeView()->currentIndex();
  ASSERT_TRUE(Pump([&] { return dialog.tree().listed(current); }));
  const QModelIndex image = dialog.tree().index(1, 0, current);
  ASSERT_EQ(image.data().toString(), QString::fromUtf8("画像"));
  dialog.treeView()->setCurrentIndex(image);
  EXPECT_EQ(model->Directory(), base + "/save/画像");
  dialog.controls().get<QPushButton>("OKButton")->click();
  EXPECT_EQ(form.DirectoryEdit.Text, Utf8ToCp932(base + "/save/画像"));
}

TEST_F(UiDirectories, CreatingNestedDirectoriesMovesTheListThere) {
  form.DirectoryEdit.Text = Utf8ToCp932(base + "/save");
  auto model = Model();
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  bool seen = false;
  WhenModal([&](QWidget* w) {
    auto* d = qobject_cast<TDirectoryCreateForm*>(w);
    ASSERT_NE(d, nullptr);
    seen = true;
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("ディレクトリー名を記入してください。"));
    EXPECT_EQ(d->size(), QSize(285, 208));
    ExpectPlaces(*d,
                 {
                     {"DirectoryCreateEdit", 16, 48, 257, 21, nullptr, "新しいディレクトリー名"},
                     {"OKButton", 32, 152, 89, 41, "ＯＫ", "いいわよ"},
                     {"CancelButton", 168, 152, 91, 41, "キャンセル", "だめ！"},
                 });
    EXPECT_EQ(Names(d->tabOrder()), (Strings{"DirectoryCreateEdit", "OKButton", "CancelButton"}));
    auto* edit = d->controls().get<QLineEdit>("DirectoryCreateEdit");
    EXPECT_EQ(edit->text().toStdString(), base + "/save");
    EXPECT_EQ(edit->font().pixelSize(), 13);
    edit->setText(edit->text() + QString::fromUtf8("/新/二段"));
    d->controls().get<QPushButton>("OKButton")->click();
  });
  dialog.controls().get<QPushButton>("DirectoryCreateButton")->click();
  EXPECT_TRUE(seen);
  struct stat st;
  EXPECT_EQ(::stat((base + "/save/新/二段").c_str(), &st), 0);
  EXPECT_EQ(model->Directory(), base + "/save/新/二段");
  EXPECT_EQ(dialog.tree().pathOf(dialog.treeView()->currentIndex()), base + "/save/新/二段");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(UiDirectories, CancellingTheCreateDialogLeavesTheChangeDialogAsItWas) {
  form.DirectoryEdit.Text = Utf8ToCp932(base + "/save");
  auto model = Model();
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  WhenModal([](QWidget* w) {
    qobject_cast<QDialog*>(w)->findChild<QLineEdit*>()->setText("/nowhere/x");
    QTest::keyClick(w, Qt::Key_Escape);
  });
  dialog.controls().get<QPushButton>("DirectoryCreateButton")->click();
  EXPECT_EQ(model->Directory(), base + "/save");
  EXPECT_FALSE(::access("/nowhere", F_OK) == 0);
  EXPECT_TRUE(dialogs.BoxTexts().empty());
}

TEST_F(UiDirectories, ADirectoryOfAHundredThousandEntriesIsReadInSlices) {
  const std::string big = base + "/big";
  ::mkdir(big.c_str(), 0777);
  constexpr int kEntries = 100000;
  constexpr int kDirs = 5000;
  for (int i = 0; i < kEntries; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/e%06d", i);
    const std::string p = big + name;
    if (i < kDirs) {
      ASSERT_EQ(::mkdir(p.c_str(), 0777), 0);
    } else {
      const int fd = ::open(p.c_str(), O_CREAT | O_WRONLY, 0644);
      ASSERT_GE(fd, 0);
      ::close(fd);
    }
  }
  form.DirectoryEdit.Text = Utf8ToCp932(big);
  auto model = Model();
  const auto t0 = std::chrono::steady_clock::now();
  TDirectoryChangeForm dialog(nullptr, *model);
  dialog.show();
  const auto opened = std::chrono::steady_clock::now();
  const QModelIndex current = dialog.treeView()->currentIndex();
  EXPECT_FALSE(dialog.tree().listed(current));  // opening does not wait for the listing
  int turns = 0;
  double slowestMs = 0;
  while (!dialog.tree().listed(current) && turns < 1000000) {
    const auto a = std::chrono::steady_clock::now();
    QCoreApplication::processEvents();
    slowestMs = std::max(
        slowestMs,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
    ++turns;
  }
  EXPECT_GE(turns, kEntries / static_cast<int>(TDirectoryReader::kSlice));
  EXPECT_EQ(dialog.tree().rowCount(current), kDirs);
  const auto done = std::chrono::steady_clock::now();
  std::printf("[figures] open %.1f ms, listing %.1f ms over %d turns, slowest turn %.1f ms\n",
              std::chrono::duration<double, std::milli>(opened - t0).count(),
              std::chrono::duration<double, std::milli>(done - opened).count(), turns, slowestMs);
}

}  // namespace
}  // namespace toravin::test
