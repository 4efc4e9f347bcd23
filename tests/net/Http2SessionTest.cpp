// The HTTP/2 session against scripted servers (frames written by hand, handed out in pieces of
// every size): the header text and body of good replies, informational replies, trailers, and
// each hostile ending (a reset stream, GOAWAY, a closed or silent connection, a header list that
// decompresses beyond the bound, floods of PING and SETTINGS, bytes that are not HTTP/2) as a
// failure of that exchange with its text.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nghttp2/nghttp2.h>

#include "net/Http2Session.h"
#include "net/MemoryStream.h"
#include "support/Http2Frames.h"

namespace toravin {
namespace {

using namespace test;

const std::string kPreface = "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n";

struct Outcome {
  THttp2Reply reply;
  std::string sent;
  bool usable = false;
};

Outcome Exchange(const std::string& script, std::size_t chunk, bool silent = false,
                 const std::string& body = {}) {
  auto peer = std::make_shared<TMemoryPeer>();
  peer->replies.push_back(script);
  peer->chunk = chunk;
  peer->silentAtEnd = silent;
  TMemoryStream stream(peer);
  stream.Connect(0x7f000001, 443);
  THttp2Session session(stream);
  THttp2Request request;
  request.authority = "example.test";
  request.path = "/a.jpg";
  request.headers = {{"user-agent", "ToraVin"}};
  request.body = body;
  if (!body.empty()) request.method = "POST";
  Outcome out;
  out.reply = session.Fetch(request, nullptr, 300, nullptr);
  out.usable = session.Usable();
  out.sent = peer->requests.empty() ? std::string() : peer->requests[0];
  return out;
}

// The header fields of the first HEADERS frame among the bytes sent after the preface, decoded,
// as "name: value\n" lines; and the DATA sent, joined.
std::pair<std::string, std::string> SentRequest(const std::string& sent) {
  std::string fields, data;
  nghttp2_hd_inflater* inflater = nullptr;
  if (nghttp2_hd_inflate_new(&inflater) != 0) return {};
  for (std::size_t at = kPreface.size(); at + 9 <= sent.size();) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(sent[at + i]); };
    const std::size_t length = (std::size_t{byte(0)} << 16) | (byte(1) << 8) | byte(2);
    const std::uint8_t type = byte(3);
    const std::string payload = sent.substr(at + 9, length);
    if (type == kH2Data) data += payload;
    if (type == kH2Headers && fields.empty()) {
      const auto* in = reinterpret_cast<const std::uint8_t*>(payload.data());
      std::size_t left = payload.size();
      for (;;) {
        nghttp2_nv nv;
        int flags = 0;
        const auto used = nghttp2_hd_inflate_hd2(inflater, &nv, &flags, in, left, 1);
        if (used < 0) break;
        in += used;
        left -= static_cast<std::size_t>(used);
        if (flags & NGHTTP2_HD_INFLATE_EMIT) {
          fields.append(reinterpret_cast<const char*>(nv.name), nv.namelen)
              .append(": ")
              .append(reinterpret_cast<const char*>(nv.value), nv.valuelen)
              .append("\n");
        }
        if (flags & NGHTTP2_HD_INFLATE_FINAL) break;
        if (used == 0 && left == 0) break;
      }
    }
    at += 9 + length;
  }
  nghttp2_hd_inflate_del(inflater);
  return {fields, data};
}

std::string HeaderBomb() {
  // One 4000-byte entry in the dynamic table, then many one-byte references to it.
  std::string block =
      HpackLiteral(":status", "200") + HpackLiteral("x-big", std::string(4000, 'a'), true);
  block += std::string(200, static_cast<char>(0x80 | 62));
  return H2Frame(kH2Headers, kH2EndHeaders, 1, block);
}

std::string Pings(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += H2Frame(kH2Ping, 0, 0, std::string(8, 'p'));
  return s;
}

std::string SettingsFlood(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += H2Frame(kH2Settings, 0, 0, "");
  return s;
}

TEST(Http2Session, RepliesAndTheirEndings) {
  struct Case {
    const char* name;
    std::string script;
    bool silent;
    bool complete;
    int status;
    const char* header;  // the whole header text, or the failure text's start (any of them,
                         // split by "|": a flood read in small pieces is answered in time)
    const char* body;
    std::optional<bool> usableAfter;  // none: either (the library may end the connection)
  };
  const std::string okHeaders = H2Headers(1, "200", {{"content-type", "image/jpeg"}}, false);
  const std::vector<Case> cases = {
      {"good", H2ServerStart() + okHeaders + H2Frame(kH2Data, kH2EndStream, 1, "hello"), false,
       true, 200, "HTTP/2 200\r\ncontent-type: image/jpeg\r\n\r\n", "hello", true},
      {"body in pieces",
       H2ServerStart() + okHeaders + H2Frame(kH2Data, 0, 1, "he") + H2Frame(kH2Data, 0, 1, "") +
           H2Frame(kH2Data, kH2EndStream, 1, "llo"),
       false, true, 200, "HTTP/2 200\r\ncontent-type: image/jpeg\r\n\r\n", "hello", true},
      {"no body", H2ServerStart() + H2Headers(1, "404", {{"server", "t"}}, true), false, true, 404,
       "HTTP/2 404\r\nserver: t\r\n\r\n", "", true},
      {"informational first",
       H2ServerStart() + H2Headers(1, "100", {{"x-early", "1"}}, false) + okHeaders +
           H2Frame(kH2Data, kH2EndStream, 1, "x"),
       false, true, 200, "HTTP/2 200\r\ncontent-type: image/jpeg\r\n\r\n", "x", true},
      {"trailers add nothing",
       H2ServerStart() + okHeaders + H2Frame(kH2Data, 0, 1, "ab") +
           H2Frame(kH2Headers, kH2EndHeaders | kH2EndStream, 1, HpackLiteral("x-trailer", "t")),
       false, true, 200, "HTTP/2 200\r\ncontent-type: image/jpeg\r\n\r\n", "ab", true},
      {"ping answered",
       H2ServerStart() + Pings(3) + okHeaders + H2Frame(kH2Data, kH2EndStream, 1, "p"), false, true,
       200, "HTTP/2 200\r\ncontent-type: image/jpeg\r\n\r\n", "p", true},
      {"reset mid-body",
       H2ServerStart() + okHeaders + H2Frame(kH2Data, 0, 1, "hel") +
           H2Frame(kH2RstStream, 0, 1, H2Be32(2)),
       false, false, 200, "Stream reset by the server", "hel", true},
      {"refused", H2ServerStart() + H2Frame(kH2RstStream, 0, 1, H2Be32(7)), false, false, 0,
       "Stream refused by the server", "", true},
      {"refused after its header",
       H2ServerStart() + okHeaders + H2Frame(kH2RstStream, 0, 1, H2Be32(7)), false, false, 200,
       "Stream refused by the server", "", true},
      {"no streams allowed",
       H2Frame(kH2Settings, 0, 0, std::string("\0\3", 2) + H2Be32(0)) +
           H2Frame(kH2Settings, kH2Ack, 0, "") + H2Frame(kH2RstStream, 0, 1, H2Be32(7)),
       true, false, 0, "Stream refused by the server", "", false},
      {"goaway before the stream",
       H2ServerStart() + H2Frame(kH2Goaway, 0, 0, H2Be32(0) + H2Be32(0)), false, false, 0,
       "Connection ended by the server (GOAWAY", "", false},
      {"goaway after the reply",
       H2ServerStart() + okHeaders + H2Frame(kH2Goaway, 0, 0, H2Be32(1) + H2Be32(0)) +
           H2Frame(kH2Data, kH2EndStream, 1, "z"),
       false, true, 200, "HTTP/2 200\r\ncontent-type: image/jpeg\r\n\r\n", "z", false},
      {"closed mid-body", H2ServerStart() + okHeaders + H2Frame(kH2Data, 0, 1, "he"), false, false,
       200, "Connection closed by the server", "he", false},
      {"silent", H2ServerStart() + okHeaders, true, false, 200, "Timed out", "", false},
      {"silent from the start", "", true, false, 0, "Timed out", "", false},
      {"header bomb", H2ServerStart() + HeaderBomb(), false, false, 200, "Reply header too long",
       "", std::nullopt},
      {"ping flood", H2ServerStart() + Pings(5000), true, false, 0,
       "HTTP/2 protocol error|Timed out", "", false},
      {"settings flood", H2ServerStart() + SettingsFlood(5000), true, false, 0,
       "HTTP/2 protocol error|Timed out", "", false},
      {"not HTTP/2", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false, false, 0,
       "HTTP/2 protocol error", "", false},
      {"data on an unopened stream",
       H2ServerStart() + H2Frame(kH2Data, kH2EndStream, 3, "x") + okHeaders, false, false, 0,
       "HTTP/2 protocol error", "", false},
  };
  for (const Case& c : cases) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
      if (chunk == 1 && c.script.size() > 20000) continue;  // floods: whole and in pieces of 7
      const Outcome out = Exchange(c.script, chunk, c.silent);
      const std::string at = std::string(c.name) + " / " + std::to_string(chunk);
      EXPECT_EQ(out.reply.complete, c.complete) << at << ": " << out.reply.failure;
      // Only a stream the server refused before answering, or one beyond its GOAWAY, may be made
      // again as though never made.
      const std::string name = c.name;
      EXPECT_EQ(out.reply.unprocessed, name == "refused" || name == "no streams allowed" ||
                                           name == "goaway before the stream")
          << at;
      EXPECT_EQ(out.reply.status, c.status) << at;
      if (c.complete) {
        EXPECT_EQ(out.reply.header, c.header) << at;
        EXPECT_TRUE(out.reply.failure.empty()) << at;
      } else {
        bool known = false;
        std::string texts = c.header;
        for (std::size_t from = 0; from != std::string::npos;) {
          const std::size_t bar = texts.find('|', from);
          known = known || out.reply.failure.starts_with(texts.substr(from, bar - from));
          from = bar == std::string::npos ? bar : bar + 1;
        }
        EXPECT_TRUE(known) << at << ": " << out.reply.failure;
      }
      EXPECT_EQ(out.reply.body, c.body) << at;
      EXPECT_EQ(out.reply.bodyBytes, static_cast<std::int64_t>(out.reply.body.size())) << at;
      if (c.usableAfter) {
        EXPECT_EQ(out.usable, *c.usableAfter) << at;
      }
      EXPECT_TRUE(out.sent.starts_with(kPreface)) << at;
    }
  }
}

// A server that sends its preface and SETTINGS, then says nothing more.
std::shared_ptr<TMemoryPeer> SilentServer() {
  auto peer = std::make_shared<TMemoryPeer>();
  peer->replies.push_back(H2ServerStart());
  peer->silentAtEnd = true;
  return peer;
}

TEST(Http2Session, RequestFramesCarryTheRequest) {
  struct Case {
    std::string body;
    std::string fields;  // the request's header fields as sent, decoded
  };
  const std::string reply =
      H2ServerStart() + H2Headers(1, "200", {}, false) + H2Frame(kH2Data, kH2EndStream, 1, "k");
  for (const Case& c : std::vector<Case>{
           {"",
            ":method: GET\n:scheme: https\n:authority: example.test\n:path: /a.jpg\n"
            "user-agent: ToraVin\n"},
           {"name=value&x=1",
            ":method: POST\n:scheme: https\n:authority: example.test\n:path: /a.jpg\n"
            "user-agent: ToraVin\n"},
       }) {
    const Outcome out = Exchange(reply, 65536, false, c.body);
    EXPECT_TRUE(out.reply.complete) << out.reply.failure;
    EXPECT_EQ(out.reply.body, "k");
    const auto [fields, data] = SentRequest(out.sent);
    EXPECT_EQ(fields, c.fields);
    EXPECT_EQ(data, c.body);
    // The client's SETTINGS follow the preface at once.
    ASSERT_GT(out.sent.size(), kPreface.size() + 9);
    EXPECT_EQ(out.sent[kPreface.size() + 3], static_cast<char>(kH2Settings));
  }
}

TEST(Http2Session, CancelledExchangeEndsWithItsText) {
  auto peer = SilentServer();
  TMemoryStream stream(peer);
  stream.Connect(0x7f000001, 443);
  THttp2Session session(stream);
  THttp2Request request;
  request.authority = "example.test";
  int asked = 0;
  const THttp2Reply reply = session.Fetch(request, nullptr, 60000, [&] { return ++asked > 3; });
  EXPECT_FALSE(reply.complete);
  EXPECT_EQ(reply.failure, "Cancelled");
  EXPECT_GT(asked, 3);
  // The stream was reset with CANCEL (code 8) after the request.
  const std::string reset = H2Frame(kH2RstStream, 0, 1, H2Be32(8));
  EXPECT_NE(peer->requests.at(0).find(reset), std::string::npos);
}

// A server that takes no bytes: a step of the session never waits for it, and a cancelled
// exchange ends at once with its text.
TEST(Http2Session, AConnectionThatTakesNothingHoldsUpNoStep) {
  auto peer = SilentServer();
  peer->takes = 10;  // part of the preface
  TMemoryStream stream(peer);
  stream.Connect(0x7f000001, 443);
  THttp2Session session(stream);
  THttp2Request request;
  request.authority = "example.test";
  const std::int32_t id = session.Submit(request, nullptr);
  ASSERT_GT(id, 0);
  EXPECT_TRUE(session.Pump(0));
  EXPECT_TRUE(session.Pump(0));
  EXPECT_FALSE(session.Peek(id)->finished);
  EXPECT_EQ(peer->requests.at(0), kPreface.substr(0, 10));
  int asked = 0;
  const THttp2Reply reply = session.Finish(id, 60000, [&] { return ++asked > 3; });
  EXPECT_EQ(reply.failure, "Cancelled");
}

// Requests submitted together leave in one send: on a real connection, one record and one
// wake-up of the server instead of one for each request.
TEST(Http2Session, RequestsSubmittedTogetherLeaveInOneSend) {
  struct CountedStream : TMemoryStream {
    using TMemoryStream::TMemoryStream;
    std::int64_t Send(const char* buffer, std::size_t size) override {
      ++sends;
      return TMemoryStream::Send(buffer, size);
    }
    int sends = 0;
  };
  for (int requests : {1, 5, 32}) {
    auto peer = SilentServer();
    CountedStream stream(peer);
    stream.Connect(0x7f000001, 443);
    THttp2Session session(stream);
    EXPECT_TRUE(session.Pump(0));
    const std::size_t before = peer->requests.at(0).size();
    stream.sends = 0;
    for (int i = 0; i < requests; ++i) {
      THttp2Request request;
      request.authority = "example.test";
      request.path = "/f" + std::to_string(i) + ".jpg";
      ASSERT_GT(session.Submit(request, nullptr), 0);
    }
    EXPECT_TRUE(session.Pump(0));
    EXPECT_EQ(stream.sends, 1) << requests;
    int headers = 0;
    const std::string& sent = peer->requests.at(0);
    for (std::size_t at = before; at + 9 <= sent.size();) {
      const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(sent[at + i]); };
      headers += byte(3) == kH2Headers ? 1 : 0;
      at += 9 + ((std::size_t{byte(0)} << 16) | (byte(1) << 8) | byte(2));
    }
    EXPECT_EQ(headers, requests);
  }
}

}  // namespace
}  // namespace toravin
