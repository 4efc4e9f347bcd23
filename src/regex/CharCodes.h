// The character model of the pattern engine: a Shift-JIS byte string read as 16-bit codes (a lead
// byte and its trail byte give lead * 256 + trail, any other byte its own value), 1-based byte
// indexes, and the backslash escapes shared by patterns, subject texts and replacement texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace toravin {

using TReCode = std::uint16_t;

// The highest code the period and negated classes cover.
constexpr TReCode kMaxTextCode = 0xFCFC;
// Reserved codes of the automata. The automata keep their line anchors apart from ordinary
// character labels, so a pattern that spells one of these codes with an escape ("\xFFFD") is an
// ordinary character that no text contains; it never acts as an anchor or an empty step.
constexpr TReCode LineHeadCode = 0xFFFD;
constexpr TReCode LineTailCode = 0xFFFE;
constexpr TReCode EmptyLabel = 0xFFFF;

// Reads the character at the 1-based `index` and moves the index past it. Returns 0 without
// moving when the index lies outside the text. Raises ERegExpParser
// "不正な２バイト文字コードです。" when a lead byte is the last byte of the text.
TReCode NextChar(std::string_view text, int& index);

// Undoes the last NextChar.
void StepBack(std::string_view text, int& index);

// Whether the byte at the 1-based `position` is the trail byte of a double-byte character.
bool IsTrailByte(std::string_view text, int position);

// The bytes of a code: two when its high byte is a lead byte, otherwise its low byte alone.
std::string CodeToText(TReCode code);
void AppendCodeText(std::string& out, TReCode code);

// Decodes the escape whose backslash was just read; `index` stands after the backslash.
TReCode ParseEscape(std::string_view text, int& index);

}  // namespace toravin
