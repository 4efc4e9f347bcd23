#include "ui/QtText.h"

#include "platform/Cp932.h"

namespace toravin {

QString FromSjis(std::string_view cp932) {
  const std::string utf8 = Cp932ToUtf8(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToSjis(const QString& text) { return Utf8ToCp932(text.toUtf8().toStdString()); }

}  // namespace toravin
