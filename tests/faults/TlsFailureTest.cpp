// A TLS failure is a connection failure like a refused connection: the run ends with the host's
// text and "接続できません。", and the entry goes through the retry rule (dropped with retries off,
// moved to the end with retries left), never kept at the head to fail again on Continue; also
// through a proxy, where only a proxy that cannot be reached leaves the entry as it is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CrawlFixture.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class TlsFailures : public CrawlFixture {};

TEST_F(TlsFailures, FailedHandshakeGoesThroughTheRetryRuleAsARefusedConnection) {
  enum Peer { kRefused, kClosesAtOnce, kSpeaksPlainHttp, kProxyDown, kProxyTunnelToNoTls };
  const struct Case {
    Peer peer;
    bool retry;
    int parallel;
    const char* box;  // the first box (UTF-8), "127.0.0.1" standing for the host
  } cases[] = {
      {kRefused, false, 1, "接続できません。"},
      {kClosesAtOnce, false, 1,
       "127.0.0.1 と暗号化通信（ＨＴＴＰＳ）を始められませんでした。\r\n接続できません。"},
      {kSpeaksPlainHttp, false, 1,
       "127.0.0.1 と暗号化通信（ＨＴＴＰＳ）を始められませんでした。\r\n接続できません。"},
      {kSpeaksPlainHttp, false, 4,
       "127.0.0.1 と暗号化通信（ＨＴＴＰＳ）を始められませんでした。\r\n接続できません。"},
      {kRefused, true, 1, "接続できません。"},
      {kSpeaksPlainHttp, true, 1,
       "127.0.0.1 と暗号化通信（ＨＴＴＰＳ）を始められませんでした。\r\n接続できません。"},
      {kSpeaksPlainHttp, true, 4,
       "127.0.0.1 と暗号化通信（ＨＴＴＰＳ）を始められませんでした。\r\n接続できません。"},
      // Through a proxy: one that cannot be reached says nothing about the entry (it stays);
      // a TLS failure inside its tunnel is the server's, as without a proxy.
      {kProxyDown, false, 1, "接続できません。"},
      {kProxyTunnelToNoTls, false, 1,
       "127.0.0.1 と暗号化通信（ＨＴＴＰＳ）を始められませんでした。\r\n接続できません。"},
      {kProxyTunnelToNoTls, true, 4,
       "127.0.0.1 と暗号化通信（ＨＴＴＰＳ）を始められませんでした。\r\n接続できません。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.peer) + (c.retry ? " retry" : "") + " x" +
                 std::to_string(c.parallel));
    LoopbackHttpServer peer;
    for (int i = 0; i < 8; ++i) {
      if (c.peer == kSpeaksPlainHttp) {
        peer.Enqueue(ScriptedReply::Http(200, "plain", "Content-Type: image/jpeg\r\n").DontRead());
      } else if (c.peer == kProxyTunnelToNoTls) {
        // The tunnel is made, then the far end closes during the handshake.
        peer.Enqueue(
            ScriptedReply().Send("HTTP/1.0 200 Connection established\r\n\r\n").Delay(200));
      }
    }
    const bool viaProxy = c.peer == kProxyDown || c.peer == kProxyTunnelToNoTls;
    mf->HttpClient1.Proxy = viaProxy ? "127.0.0.1" : "";
    mf->HttpClient1.ProxyPort = c.peer == kProxyDown ? ClosedLoopbackPort()
                                : viaProxy           ? peer.port()
                                                     : 0;
    const std::string bad =
        c.peer == kRefused ? "https://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/x.jpg"
                           : "https://127.0.0.1:" + std::to_string(peer.port()) + "/x.jpg";
    mf->SetParallelTransfers(c.parallel);
    S().JPGDownLoad = true;
    S().Retry = c.retry;
    S().RetryCount = "2";
    S().ClearItems();
    S().AddItem(bad, Url("/"));
    S().AddItem(Url("/b.jpg"), Url("/"));
    File("/b.jpg", "B", "image/jpeg");
    form->AddressEdit.Text = Url("/");
    dialogs.clear();
    Continue();
    EXPECT_EQ(Boxes(), (Strings{c.box, "ダウンロードを中断しました。"}));
    if (c.peer == kProxyDown) {
      EXPECT_EQ(Pending(), (Strings{bad, Url("/b.jpg")}));
    } else {
      EXPECT_EQ(Pending(), c.retry ? (Strings{Url("/b.jpg"), bad}) : Strings{Url("/b.jpg")});
    }
    EXPECT_EQ(SavedFiles(), Strings{});
  }
}

}  // namespace
}  // namespace toravin::test
