// A Location value preceded by any number of blanks or tabs is the same redirect: the blanks are
// not part of the value.
#include <gtest/gtest.h>

#include <string>

#include "net/HttpClient.h"
#include "support/LoopbackHttpServer.h"

namespace toravin::test {
namespace {

TEST(RedirectHeader, BlanksBeforeTheLocationValueAreNotPartOfIt) {
  for (const std::string blanks : {" ", "  ", "     ", " \t  "}) {
    SCOPED_TRACE("[" + blanks + "]");
    LoopbackHttpServer server;
    server.Enqueue(ScriptedReply::Text("HTTP/1.0 302 Found\r\nLocation:" + blanks +
                                       server.Url("/x/y.jpg") + "\r\n\r\n"));
    server.Enqueue(ScriptedReply::Http(200, "JPEG", "Content-Type: image/jpeg\r\n"));
    THttpClient http;
    http.Get(server.Url("/start.htm"));
    ASSERT_EQ(server.Connections(), 2);
    const std::string second = server.Requests()[1];
    EXPECT_EQ(second.substr(0, second.find("\r\n")), "GET /x/y.jpg HTTP/1.0");
    EXPECT_EQ(http.Body, "JPEG");
    EXPECT_EQ(http.RequestURL, server.Url("/x/y.jpg"));
  }
}

TEST(RedirectHeader, RelativeLocationAfterManyBlanks) {
  LoopbackHttpServer server;
  server.Enqueue(ScriptedReply::Text("HTTP/1.0 301 Moved\r\nLocation:    next.jpg\r\n\r\n"));
  server.Enqueue(ScriptedReply::Http(200, "N"));
  THttpClient http;
  http.Get(server.Url("/dir/page.htm"));
  ASSERT_EQ(server.Connections(), 2);
  EXPECT_EQ(server.Requests()[1].substr(0, server.Requests()[1].find("\r\n")),
            "GET /dir/next.jpg HTTP/1.0");
}

}  // namespace
}  // namespace toravin::test
