// Every edit of the numeric edit is an append or a removal at the end, followed by the same
// normalisation the text rule ends with, so the value text can never leave the well-formed set
// (sign, integer digits, point, fraction digits within the limits). The display text is derived
// from the value on demand and never parsed back.
#include "main/NumEditModel.h"

#include <utility>

#include "platform/Cp932.h"

namespace toravin {
namespace {

// A value cut into its parts.
struct Parts {
  std::string sign, integer, fraction;
  bool point = false;
};

Parts Split(const std::string& value) {
  Parts p;
  std::size_t i = 0;
  if (i < value.size() && value[i] == '-') p.sign = value.substr(i++, 1);
  std::size_t dot = value.find('.', i);
  if (dot == std::string::npos) {
    p.integer = value.substr(i);
  } else {
    p.integer = value.substr(i, dot - i);
    p.point = true;
    p.fraction = value.substr(dot + 1);
  }
  return p;
}

std::string Join(const Parts& p) { return p.sign + p.integer + (p.point ? "." : "") + p.fraction; }

// Leading zeros go, an all-zero integer part becomes "0", a bare point gets its "0".
std::string Normalise(Parts p) {
  std::size_t nz = p.integer.find_first_not_of('0');
  if (!p.integer.empty()) p.integer = nz == std::string::npos ? "0" : p.integer.substr(nz);
  if (p.integer.empty() && p.point) p.integer = "0";
  return Join(p);
}

std::string Group(const std::string& digits) {
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string TNumEditModel::ConvertWide(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsLeadByte(c)) {
      out += static_cast<char>(c);
      continue;
    }
    if (i + 1 >= text.size()) break;  // a lead byte without its trail byte
    const unsigned code = c * 256u + static_cast<unsigned char>(text[i + 1]);
    ++i;
    if (code >= 0x824F && code <= 0x8258) {
      out += static_cast<char>('0' + (code - 0x824F));  // "０" to "９"
    } else if (code == 0x817C) {
      out += '-';  // "－"
    } else if (code == 0x8144) {
      out += '.';  // "．"
    } else if (code == 0x8143) {
      continue;  // "，"
    } else {
      break;
    }
  }
  return out;
}

std::string TNumEditModel::ApplyTextRule(std::string_view text, int integerLength,
                                         int decimalLength, bool minus) {
  const std::string converted = ConvertWide(text);
  std::string kept;
  bool point = false;
  for (std::size_t i = 0; i < converted.size(); ++i) {
    const char c = converted[i];
    if (IsDigit(c)) {
      kept += c;
    } else if (c == ',') {
      continue;
    } else if (c == '.') {
      if (decimalLength == 0 || point) break;
      point = true;
      kept += c;
    } else if (c == '-') {
      if (!minus || i != 0) break;
      kept += c;
    } else {
      break;
    }
  }
  Parts p = Split(kept);
  if (static_cast<int>(p.fraction.size()) > decimalLength) p.fraction.resize(decimalLength);
  if (static_cast<int>(p.integer.size()) > integerLength) return std::string();
  return Normalise(std::move(p));
}

void TNumEditModel::SetText(std::string_view text) {
  if (text == m_value) return;
  m_value = ApplyTextRule(text, m_integerLength, m_decimalLength, m_minus);
}

void TNumEditModel::Refilter() {
  m_value = ApplyTextRule(m_value, m_integerLength, m_decimalLength, m_minus);
}

void TNumEditModel::SetIntegerLength(int n) {
  if (n < 0) return;
  m_integerLength = n;
  Refilter();
}

void TNumEditModel::SetDecimalLength(int n) {
  if (n < 0) return;
  m_decimalLength = n;
  Refilter();
}

void TNumEditModel::SetMinus(bool on) {
  m_minus = on;
  Refilter();
}

std::string TNumEditModel::DisplayOf(const std::string& value) const {
  Parts p = Split(value);
  if (Comma) p.integer = Group(p.integer);
  if (DecimalFixed) {
    p.fraction.resize(static_cast<std::size_t>(m_decimalLength), '0');
    p.point = m_decimalLength > 0;
  }
  if (p.integer.empty() && (IntegerFixed || DecimalFixed)) p.integer = "0";
  return Join(p);
}

std::string TNumEditModel::DisplayText() const { return DisplayOf(m_value); }

std::string TNumEditModel::ImageText() const {
  std::string display = DisplayText();
  if (display.empty()) return display;
  return LeftMark + display + RightMark;
}

std::size_t TNumEditModel::CaretIndex() const {
  const Parts typed = Split(m_value);
  const Parts shown = [&] {
    Parts p = typed;
    if (Comma) p.integer = Group(p.integer);
    if (p.integer.empty() && (IntegerFixed || DecimalFixed)) p.integer = "0";
    return p;
  }();
  std::size_t n = shown.sign.size() + shown.integer.size();
  if (typed.integer.empty() && !typed.point) n = shown.sign.size();  // a fixed "0" is not typed
  if (typed.point) n += 1 + typed.fraction.size();
  return n;
}

TNumEditModel::KeyResult TNumEditModel::Refuse() {
  if (ErrorBeep && OnBeep) OnBeep();
  return KeyResult::Refused;
}

TNumEditModel::KeyResult TNumEditModel::Commit(std::string value, bool notify) {
  m_previous = std::exchange(m_value, std::move(value));
  m_undoAvailable = true;
  m_allSelected = false;
  if (notify && OnChange) OnChange();
  return KeyResult::Changed;
}

bool TNumEditModel::FitsAfter(const std::string& value) const {
  if (!(Options & eoORInputStop) || !Fits) return true;
  const std::string display = DisplayOf(value);
  return Fits(display.empty() ? display : LeftMark + display + RightMark);
}

TNumEditModel::KeyResult TNumEditModel::KeyChar(char c) {
  if (c == '\r') return EnterFocusMove ? KeyResult::FocusNext : Refuse();
  if (ReadOnly) return Refuse();
  const std::string base = m_allSelected ? std::string() : m_value;
  const Parts p = Split(base);
  if (IsDigit(c)) {
    const bool room =
        p.point ? static_cast<int>(p.fraction.size()) < m_decimalLength
                : static_cast<int>(p.integer == "0" ? 0 : p.integer.size()) < m_integerLength;
    if (!room) return Refuse();
    std::string next = Normalise(Split(base + c));
    if (!FitsAfter(next)) return Refuse();
    return Commit(std::move(next));
  }
  if (c == '.') {
    if (m_decimalLength == 0 || p.point) return Refuse();
    std::string next = Normalise(Split(base + '.'));
    if (!FitsAfter(next)) return Refuse();
    return Commit(std::move(next));
  }
  if (c == '-') {
    if (!m_minus) return Refuse();
    std::string next = p.sign.empty() ? "-" + base : base.substr(1);
    if (p.sign.empty() && !FitsAfter(next)) return Refuse();
    return Commit(std::move(next));
  }
  if (c == '\b' || c == 0x7F) {
    if (m_allSelected) return Commit(std::string(), false);
    if (m_value.empty()) return Refuse();
    std::string next = m_value.substr(0, m_value.size() - 1);
    if (!next.empty() && next.back() == '.') next.pop_back();
    return Commit(std::move(next));
  }
  return Refuse();
}

bool TNumEditModel::InputMethodText(std::string_view text) {
  const std::string converted = ConvertWide(text);
  bool changed = false;
  for (char c : converted) changed = KeyChar(c) == KeyResult::Changed || changed;
  return changed;
}

std::optional<std::string> TNumEditModel::Copy() const {
  if (!m_allSelected) return std::nullopt;
  return ImageCopy ? ImageText() : m_value;
}

std::optional<std::string> TNumEditModel::Cut() {
  if (!m_allSelected || ReadOnly) return std::nullopt;
  std::optional<std::string> text = Copy();
  Commit(std::string());
  return text;
}

bool TNumEditModel::Paste(std::string_view text) {
  if (ReadOnly) return false;
  std::string pasted = ApplyTextRule(text, m_integerLength, m_decimalLength, m_minus);
  if (!m_allSelected) {
    pasted = ApplyTextRule(m_value + pasted, m_integerLength, m_decimalLength, m_minus);
  }
  Commit(std::move(pasted));
  return true;
}

bool TNumEditModel::Undo() {
  if (!m_undoAvailable || ReadOnly) return false;
  std::swap(m_value, m_previous);
  m_allSelected = true;
  if (OnChange) OnChange();
  return true;
}

bool TNumEditModel::DeleteSelection() {
  if (!m_allSelected || ReadOnly) return false;
  Commit(std::string(), false);
  return true;
}

TNumEditModel::MenuState TNumEditModel::Menu(bool clipboardHasText) const {
  MenuState m;
  m.undo = m_undoAvailable && !ReadOnly;
  m.cut = m.del = m_allSelected && !ReadOnly;
  m.copy = m_allSelected;
  m.paste = clipboardHasText && !ReadOnly;
  m.selectAll = !m_allSelected && !m_value.empty();
  return m;
}

void TNumEditModel::FocusEnter() {
  if (AutoSelect) m_allSelected = true;
}

void TNumEditModel::FocusExit() {
  if (m_value == "-" && !(Options & eoMinusOnly)) {
    m_value.clear();
    if (OnChange) OnChange();
  }
  if (HideSelection) m_allSelected = false;
}

}  // namespace toravin
