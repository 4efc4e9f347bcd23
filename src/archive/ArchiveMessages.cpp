// Written as UTF-8 literals and converted once to CP932.
#include "archive/ArchiveMessages.h"

#include <cstdio>

#include "platform/Cp932.h"

namespace toravin {

const std::string& LhaPackMissingText() {
  return Sjis("ＬＨＡＰＡＣＫ．ＤＬＬを見つけられません。");
}

const std::string& GzDecMissingText() {
  return Sjis(
      "HTMLファイルがエンコードされているので、解析できません。(GZDEC.DLLがあれば解析できます。)");
}

const std::string& GzDecBusyText() { return Sjis("GZDEC.DLLがBusyで使えませんでした。"); }

std::string GzDecFailedText(std::int32_t code) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(static_cast<std::uint32_t>(code)));
  return Sjis("GZDEC.DLLによるHTMLファイルの伸張に失敗しました。（エラーコード：0x") + hex +
         Sjis("）");
}

}  // namespace toravin
