// The numeric edit's value logic: the text rule and display as one table, typed keys, undo,
// the clipboard, the context menu's enabling, focus changes and input-method text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/NumEditModel.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

struct Limits {
  int integerLength = 9;
  int decimalLength = 3;
  bool minus = true;
  bool comma = true;
};
constexpr Limits kDefaults{};
constexpr Limits kPort{9, 0, false, false};

TNumEditModel Make(const Limits& l) {
  TNumEditModel m;
  m.SetIntegerLength(l.integerLength);
  m.SetDecimalLength(l.decimalLength);
  m.SetMinus(l.minus);
  m.Comma = l.comma;
  return m;
}

struct RuleCase {
  const char* text;  // UTF-8; converted to CP932 before it is set
  Limits limits;
  const char* value;
  const char* display;
};

const RuleCase kRules[] = {
    {"００１２", kDefaults, "12", "12"},
    {"1,234.5678", kDefaults, "1234.567", "1,234.567"},
    {"1234567890", kDefaults, "", ""},
    {"123456789", kDefaults, "123456789", "123,456,789"},
    {"-1234567.1", kDefaults, "-1234567.1", "-1,234,567.1"},
    {"-12.5", {9, 3, false, true}, "", ""},
    {"12-3", kDefaults, "12", "12"},
    {"000", kDefaults, "0", "0"},
    {"007", kDefaults, "7", "7"},
    {".5", kDefaults, "0.5", "0.5"},
    {"－．５", kDefaults, "-0.5", "-0.5"},
    {"１，２３４", kDefaults, "1234", "1,234"},
    {"１２あ３", kDefaults, "12", "12"},
    {"12.3.4", kDefaults, "12.3", "12.3"},
    {"abc", kDefaults, "", ""},
    {"8080", kPort, "8080", "8080"},
    {"12.5", kPort, "12", "12"},
    {"1234567", kPort, "1234567", "1234567"},
    {"-5", kPort, "", ""},
    {"", kDefaults, "", ""},
};

TEST(NumEditTextRule, TableOfTextsGivesValueAndDisplay) {
  for (const RuleCase& c : kRules) {
    TNumEditModel m = Make(c.limits);
    m.SetText(Sj(c.text));
    EXPECT_EQ(m.Text(), c.value) << c.text;
    EXPECT_EQ(m.DisplayText(), c.display) << c.text;
  }
}

TEST(NumEditTextRule, ALeadByteWithoutItsTrailByteEndsTheConversion) {
  EXPECT_EQ(TNumEditModel::ApplyTextRule("12\x82", 9, 3, true), "12");
  EXPECT_EQ(TNumEditModel::ConvertWide("\x82\x4F\x81\x7C\x81\x44\x81\x43"
                                       "5"),
            "0-.5");
}

TEST(NumEditTextRule, ChangingALimitFiltersTheValueAgain) {
  TNumEditModel m;
  m.SetText("1234.567");
  m.SetDecimalLength(1);
  EXPECT_EQ(m.Text(), "1234.5");
  m.SetIntegerLength(3);
  EXPECT_EQ(m.Text(), "");
  m.SetIntegerLength(-1);  // ignored
  EXPECT_EQ(m.IntegerLength(), 3);
}

struct DisplayCase {
  const char* value;
  bool integerFixed, decimalFixed;
  const char* left;
  const char* right;
  const char* image;
  std::size_t caret;
};

const DisplayCase kDisplays[] = {
    {"", true, false, "", "", "0", 0},
    {"", false, false, "$", " yen", "", 0},
    {"5", false, true, "", "", "5.000", 1},
    {"1.5", false, true, "", "", "1.500", 3},
    {"1234", false, false, "$", " yen", "$1,234 yen", 5},
    {"-", true, false, "", "", "-0", 1},
    {"0.", false, false, "", "", "0.", 2},
};

TEST(NumEditDisplay, FixedDigitsMarksAndCaret) {
  for (const DisplayCase& c : kDisplays) {
    TNumEditModel m;
    m.IntegerFixed = c.integerFixed;
    m.DecimalFixed = c.decimalFixed;
    m.LeftMark = c.left;
    m.RightMark = c.right;
    m.SetText(c.value);
    EXPECT_EQ(m.ImageText(), c.image) << c.value;
    EXPECT_EQ(m.CaretIndex(), c.caret) << c.value;
  }
}

struct KeyCase {
  Limits limits;
  const char* start;
  bool allSelected;
  const char* keys;
  const char* value;
  int beeps;
  int changes;
};

const KeyCase kKeys[] = {
    {kDefaults, "", false, "123", "123", 0, 3},
    {kDefaults, "0", false, "5", "5", 0, 1},
    {kDefaults, "12", false, "-", "-12", 0, 1},
    {kDefaults, "12", false, "--", "12", 0, 2},
    {kDefaults, "12.5", false, "\b", "12", 0, 1},
    {kDefaults, "0.5", false, "\b", "0", 0, 1},
    {kDefaults, "12", true, "7", "7", 0, 1},
    {kDefaults, "12", true, "\b", "", 0, 0},
    {kDefaults, "12", true, "\x7F", "", 0, 0},
    {kDefaults, "123456789", false, "0", "123456789", 1, 0},
    {kDefaults, "1.234", false, "5", "1.234", 1, 0},
    {kDefaults, "", false, ".", "0.", 0, 1},
    {kDefaults, "1.5", false, ".", "1.5", 1, 0},
    {kDefaults, "1.5", true, ".", "0.", 0, 1},
    {kDefaults, "", false, "\b", "", 1, 0},
    {kDefaults, "5", false, "x", "5", 1, 0},
    {kDefaults, "5", false, "\r", "5", 1, 0},
    {kPort, "80", false, ".", "80", 1, 0},
    {kPort, "80", false, "-", "80", 1, 0},
    {kPort, "80", false, "80", "8080", 0, 2},
};

TEST(NumEditKeys, TypedCharactersAsACalculator) {
  for (const KeyCase& c : kKeys) {
    TNumEditModel m = Make(c.limits);
    m.SetText(c.start);
    if (c.allSelected) m.SelectAll();
    int beeps = 0, changes = 0;
    m.OnBeep = [&] { ++beeps; };
    m.OnChange = [&] { ++changes; };
    for (const char* k = c.keys; *k; ++k) m.KeyChar(*k);
    EXPECT_EQ(m.Text(), c.value) << c.start << " + " << c.keys;
    EXPECT_EQ(beeps, c.beeps) << c.start << " + " << c.keys;
    EXPECT_EQ(changes, c.changes) << c.start << " + " << c.keys;
  }
}

TEST(NumEditKeys, NoBeepWithoutErrorBeepAndNothingTypedWhileReadOnly) {
  TNumEditModel m;
  int beeps = 0;
  m.OnBeep = [&] { ++beeps; };
  m.ErrorBeep = false;
  EXPECT_EQ(m.KeyChar('x'), TNumEditModel::KeyResult::Refused);
  EXPECT_EQ(beeps, 0);
  m.ErrorBeep = true;
  m.ReadOnly = true;
  EXPECT_EQ(m.KeyChar('1'), TNumEditModel::KeyResult::Refused);
  EXPECT_EQ(m.Text(), "");
  EXPECT_EQ(beeps, 1);
}

TEST(NumEditKeys, ReturnMovesTheFocusOnlyWithEnterFocusMove) {
  TNumEditModel m;
  m.EnterFocusMove = true;
  EXPECT_EQ(m.KeyChar('\r'), TNumEditModel::KeyResult::FocusNext);
}

TEST(NumEditKeys, AnAdditionThatWouldNotFitIsRefusedWithInputStop) {
  TNumEditModel m;
  m.Options |= eoORInputStop;
  m.Fits = [](const std::string& image) { return image.size() <= 5; };
  for (char c : std::string("123456")) m.KeyChar(c);
  EXPECT_EQ(m.Text(), "1234");  // "1,234" fits, "12,345" does not
}

TEST(NumEditUndo, UndoTwiceSwapsBack) {
  TNumEditModel m;
  m.SetText("12");
  m.KeyChar('3');
  ASSERT_EQ(m.Text(), "123");
  EXPECT_TRUE(m.Undo());
  EXPECT_EQ(m.Text(), "12");
  EXPECT_TRUE(m.AllSelected());
  EXPECT_TRUE(m.Undo());
  EXPECT_EQ(m.Text(), "123");
}

TEST(NumEditUndo, NothingToUndoBeforeTheFirstEdit) {
  TNumEditModel m;
  m.SetText("12");
  EXPECT_FALSE(m.Undo());
  EXPECT_EQ(m.Text(), "12");
}

struct MenuCase {
  const char* value;
  bool allSelected, undo, readOnly, clipboard;
  TNumEditModel::MenuState expected;
};

const MenuCase kMenus[] = {
    {"", false, false, false, false, {false, false, false, false, false, false}},
    {"12", false, false, false, false, {false, false, false, false, false, true}},
    {"12", true, false, false, true, {false, true, true, true, true, false}},
    {"12", true, true, false, true, {true, true, true, true, true, false}},
    {"12", true, true, true, true, {false, false, true, false, false, false}},
    {"12", false, true, false, true, {true, false, false, true, false, true}},
};

TEST(NumEditMenu, ItemsEnabledByTheRules) {
  for (const MenuCase& c : kMenus) {
    TNumEditModel m;
    m.SetText(c.value);
    if (c.undo) {
      m.KeyChar('\b');
      m.KeyChar('2');
    }
    if (c.allSelected) m.SelectAll();
    m.ReadOnly = c.readOnly;
    const TNumEditModel::MenuState s = m.Menu(c.clipboard);
    const auto& e = c.expected;
    EXPECT_EQ(s.undo, e.undo) << c.value << c.allSelected << c.undo << c.readOnly;
    EXPECT_EQ(s.cut, e.cut) << c.value << c.allSelected << c.undo << c.readOnly;
    EXPECT_EQ(s.copy, e.copy) << c.value << c.allSelected << c.undo << c.readOnly;
    EXPECT_EQ(s.paste, e.paste) << c.value << c.allSelected << c.undo << c.readOnly;
    EXPECT_EQ(s.del, e.del) << c.value << c.allSelected << c.undo << c.readOnly;
    EXPECT_EQ(s.selectAll, e.selectAll) << c.value << c.allSelected << c.undo << c.readOnly;
  }
}

TEST(NumEditClipboard, CopyCutAndPaste) {
  TNumEditModel m;
  m.SetText("1234.5");
  EXPECT_FALSE(m.Copy());  // only a full selection is copied
  m.SelectAll();
  EXPECT_EQ(m.Copy(), "1234.5");
  m.ImageCopy = true;
  m.LeftMark = "$";
  EXPECT_EQ(m.Copy(), "$1,234.5");
  EXPECT_EQ(m.Cut(), "$1,234.5");
  EXPECT_EQ(m.Text(), "");
  m.SetText("12");
  EXPECT_TRUE(m.Paste(Sj("３.４")));  // appended, through the text rule
  EXPECT_EQ(m.Text(), "123.4");
  m.SelectAll();
  EXPECT_TRUE(m.Paste("9,876"));  // replaces a full selection
  EXPECT_EQ(m.Text(), "9876");
  EXPECT_FALSE(m.AllSelected());
}

TEST(NumEditClipboard, DeleteItemClearsAFullSelection) {
  TNumEditModel m;
  m.SetText("42");
  EXPECT_FALSE(m.DeleteSelection());
  m.SelectAll();
  EXPECT_TRUE(m.DeleteSelection());
  EXPECT_EQ(m.Text(), "");
  EXPECT_TRUE(m.Undo());
  EXPECT_EQ(m.Text(), "42");
}

TEST(NumEditFocus, LeavingWithJustAMinusEmptiesUnlessMinusOnly) {
  TNumEditModel m;
  m.FocusEnter();
  EXPECT_TRUE(m.AllSelected());
  m.KeyChar('-');
  ASSERT_EQ(m.Text(), "-");
  m.FocusExit();
  EXPECT_EQ(m.Text(), "");
  EXPECT_FALSE(m.AllSelected());
  m.Options |= eoMinusOnly;
  m.KeyChar('-');
  m.FocusExit();
  EXPECT_EQ(m.Text(), "-");
}

TEST(NumEditInputMethod, FullWidthDigitsArriveAsDigitsOtherTextNever) {
  TNumEditModel m;
  EXPECT_TRUE(m.InputMethodText(Sj("１２．５")));
  EXPECT_EQ(m.Text(), "12.5");
  EXPECT_FALSE(m.InputMethodText(Sj("あ")));
  EXPECT_FALSE(m.InputMethodText(Sj("ＡＢ")));
  EXPECT_EQ(m.Text(), "12.5");
}

}  // namespace
}  // namespace toravin::test
