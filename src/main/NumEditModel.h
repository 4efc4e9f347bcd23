// The numeric edit's value logic without any toolkit: a calculator-style number that only grows
// or shrinks at its end, the text rule that turns any text (typed, pasted, set) into a well-formed
// value within the digit limits, the formatted display text, one-level undo and the "everything
// selected" state. The Qt widget paints what this class says and feeds it keys; tests drive it
// directly. All texts are CP932.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace toravin {

enum NumEditOption : unsigned {
  eoMinusOnly = 1u << 0,      // a value of just "-" survives leaving the control
  eoArrowUp = 1u << 1,        // Up moves the focus back (with ArrowFocusMove)
  eoArrowDown = 1u << 2,      // Down moves the focus on (with ArrowFocusMove)
  eoAutoWidthSize = 1u << 3,  // designer-only sizing; no effect at run time
  eoORInputStop = 1u << 4,    // refuse an addition whose display would not fit
};
using NumEditOptions = unsigned;

class TNumEditModel {
 public:
  // What a key did.
  enum class KeyResult {
    Changed,    // the value changed (OnChange has fired where it should)
    Unchanged,  // accepted without a change of the value (e.g. clearing an empty selection)
    Refused,    // refused; the beep has been asked for when ErrorBeep is on
    FocusNext,  // Return with EnterFocusMove: the caller moves the focus
  };

  // Which items of the context menu are enabled.
  struct MenuState {
    bool undo = false, cut = false, copy = false, paste = false, del = false, selectAll = false;
    bool operator==(const MenuState&) const = default;
  };

  // The text rule with the given limits: conversion, filter, limits, normalisation.
  static std::string ApplyTextRule(std::string_view text, int integerLength, int decimalLength,
                                   bool minus);
  // Step 1 of the text rule alone (full-width digits, "－" and "．" to single bytes, "，"
  // dropped, up to the first other double-byte character): what an input method may type.
  static std::string ConvertWide(std::string_view text);

  // Text: reading gives the value; writing applies the text rule when it differs.
  const std::string& Text() const { return m_value; }
  void SetText(std::string_view text);

  int IntegerLength() const { return m_integerLength; }
  int DecimalLength() const { return m_decimalLength; }
  bool Minus() const { return m_minus; }
  // Changing a limit passes the value through the filter again; negative lengths are ignored.
  void SetIntegerLength(int n);
  void SetDecimalLength(int n);
  void SetMinus(bool on);

  // Display options: they only change the display text.
  bool Comma = true;
  bool IntegerFixed = false;
  bool DecimalFixed = false;
  std::string LeftMark, RightMark;
  NumEditOptions Options = eoArrowUp | eoArrowDown;
  bool AutoSelect = true;
  bool HideSelection = true;
  bool ReadOnly = false;
  bool ErrorBeep = true;
  bool ImageCopy = false;
  bool EnterFocusMove = false;
  bool ArrowFocusMove = false;
  bool Enabled = true;  // the control's own state; a disabled parent disables it as well

  // The number formatted (separators, fixed digits), without the marks.
  std::string DisplayText() const;
  // The display text with the marks, as drawn (the marks only around a non-empty number).
  std::string ImageText() const;
  // Bytes of DisplayText() that belong to the typed number: the caret stands behind them.
  std::size_t CaretIndex() const;

  bool AllSelected() const { return m_allSelected; }
  bool UndoAvailable() const { return m_undoAvailable; }
  void SelectAll() { m_allSelected = true; }
  void DropSelection() { m_allSelected = false; }

  // A typed character: digits, ".", "-", Backspace (0x08) and Delete (0x7F) erase, Return (0x0D).
  KeyResult KeyChar(char c);
  // Several characters from an input method, each converted by ConvertWide first. Returns whether
  // any of them changed the value.
  bool InputMethodText(std::string_view text);

  // Clipboard and undo. Copy and Cut give the text to put on the clipboard (nothing when not
  // everything is selected); Paste takes the clipboard's text.
  std::optional<std::string> Copy() const;
  std::optional<std::string> Cut();
  bool Paste(std::string_view text);
  bool Undo();
  // The menu's "削除(&D)": clears a fully selected value like the Delete key.
  bool DeleteSelection();
  MenuState Menu(bool clipboardHasText) const;

  // Focus changes.
  void FocusEnter();
  void FocusExit();

  // Fired after each change made by the user.
  std::function<void()> OnChange;
  // Asked for a refused key when ErrorBeep is on.
  std::function<void()> OnBeep;
  // With eoORInputStop: whether a display text (with marks) fits the inner width.
  std::function<bool(const std::string& image)> Fits;

 private:
  KeyResult Refuse();
  // Replaces the value after a user's edit: saves the undo value, drops the selection, fires
  // OnChange when `notify`.
  KeyResult Commit(std::string value, bool notify = true);
  bool FitsAfter(const std::string& value) const;
  std::string DisplayOf(const std::string& value) const;
  void Refilter();

  std::string m_value;
  std::string m_previous;
  bool m_undoAvailable = false;
  bool m_allSelected = false;
  int m_integerLength = 9;
  int m_decimalLength = 3;
  bool m_minus = true;
};

}  // namespace toravin
