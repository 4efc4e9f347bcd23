// The border between the engine's Shift-JIS text and Qt's Unicode strings: every text that goes
// into a widget or comes out of one passes here.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace toravin {

QString FromSjis(std::string_view cp932);
std::string ToSjis(const QString& text);
// One of the program's own UTF-8 literals.
inline QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace toravin
