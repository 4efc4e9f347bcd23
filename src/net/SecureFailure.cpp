// The texts of the secure-connection failures, converted once from the source's UTF-8.
#include "net/SecureFailure.h"

#include "platform/Cp932.h"

namespace toravin {

bool IsSecureFailure(int code) { return code >= kTlsUntrusted && code <= kTunnelRefused; }

std::string SecureFailureText(int code, const std::string& host, int proxyStatus) {
  switch (code) {
    case kTlsUntrusted:
      return host + Sjis(" の証明書は信頼できません。");
    case kTlsExpired:
      return host + Sjis(" の証明書は有効期限が切れています。");
    case kTlsNotYetValid:
      return host + Sjis(" の証明書はまだ有効になっていません。");
    case kTlsWrongName:
      return host + Sjis(" の証明書は別のホスト名のものです。");
    case kTlsHandshakeFailed:
      return host + Sjis(" と暗号化通信（ＨＴＴＰＳ）を始められませんでした。");
    case kTunnelRefused:
      return Sjis("プロキシが ") + host + Sjis(" への中継を拒否しました。（") +
             std::to_string(proxyStatus) + Sjis("）");
    default:
      return {};
  }
}

}  // namespace toravin
