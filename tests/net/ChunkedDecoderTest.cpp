// The chunked decoder, the framing decision and the reply scanner as tables: every body fed whole
// and in one-byte pieces must decode alike; hostile codings fail without reading on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/ChunkedDecoder.h"
#include "net/ReplyFraming.h"
#include "net/ReplyScanner.h"

namespace toravin {
namespace {

struct Decoded {
  std::string data;
  std::size_t used = 0;
  bool done = false;
  bool failed = false;
};

Decoded Decode(const std::string& coded, std::size_t piece) {
  TChunkedDecoder d;
  Decoded r;
  for (std::size_t at = 0; at < coded.size() && !d.Done() && !d.Failed(); at += piece) {
    std::string part = coded.substr(at, piece);
    std::size_t produced = 0;
    // In place, as the body stream decodes.
    std::size_t used = d.Feed(part.data(), part.size(), part.data(), produced);
    r.data += part.substr(0, produced);
    r.used += used;
  }
  r.done = d.Done();
  r.failed = d.Failed();
  return r;
}

TEST(ChunkedDecoder, DecodesWholeAndInPieces) {
  struct Case {
    std::string coded;
    std::string data;
    bool done;
    bool failed;
  };
  const std::string big(70000, 'x');
  const std::vector<Case> cases = {
      {"5\r\nhello\r\n0\r\n\r\n", "hello", true, false},
      {"5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n", "hello world", true, false},
      {"A;name=v\r\n0123456789\r\n0\r\n\r\n", "0123456789", true, false},
      {"3\nabc\n0\n\n", "abc", true, false},  // bare LF line ends
      {"3  \r\nabc\r\n0\r\nExpires: never\r\nX: y\r\n\r\n", "abc", true, false},
      {"11170\r\n" + big + "\r\n0\r\n\r\n", big, true, false},
      {"0\r\n\r\n", "", true, false},
      {"5\r\nhel", "hel", false, false},      // cut inside the data
      {"5\r\nhello", "hello", false, false},  // cut before the line end
      {"5\r\nhelloX\r\n", "hello", false, true},
      {"zz\r\n", "", false, true},
      {"\r\n", "", false, true},
      {"-5\r\nhello\r\n", "", false, true},
      {"1000000000000000\r\n", "", false, true},  // 16 digits: beyond 60 bits
      {"FFFFFFFFFFFFFFFFFFFF\r\n", "", false, true},
      {"5\rhello", "", false, true},
      {"1;" + std::string(5000, 'e') + "\r\nz\r\n0\r\n\r\n", "", false, true},
      {"0\r\n" + std::string(5000, 't') + "\r\n\r\n", "", false, true},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {c.coded.size(), std::size_t{1}, std::size_t{7}}) {
      if (piece == 0) continue;
      Decoded r = Decode(c.coded, piece);
      EXPECT_EQ(r.data, c.data) << c.coded.substr(0, 40) << " piece " << piece;
      EXPECT_EQ(r.done, c.done) << c.coded.substr(0, 40) << " piece " << piece;
      EXPECT_EQ(r.failed, c.failed) << c.coded.substr(0, 40) << " piece " << piece;
    }
  }
}

TEST(ChunkedDecoder, StopsAfterTheLastChunkAndCountsWithoutOutput) {
  TChunkedDecoder d;
  const std::string coded = "2\r\nab\r\n0\r\n\r\nHTTP/1.1 200 OK\r\n";
  std::size_t produced = 0;
  EXPECT_EQ(d.Feed(coded.data(), coded.size(), nullptr, produced), 12u);
  EXPECT_EQ(produced, 2u);
  EXPECT_TRUE(d.Done());
  EXPECT_EQ(d.Feed(coded.data() + 12, 5, nullptr, produced), 0u);
  EXPECT_EQ(produced, 0u);
}

TReplyFraming FramingOf(const std::vector<std::string>& lines, bool head = false) {
  TFramingReader r;
  r.StatusLine(lines.front());
  for (std::size_t i = 1; i < lines.size(); ++i) r.HeaderLine(lines[i]);
  return r.Framing(head);
}

TEST(ReplyFraming, LengthChunkedOrClose) {
  using K = TReplyFraming::Kind;
  struct Case {
    std::vector<std::string> lines;
    bool head;
    K kind;
    std::int64_t length;
    bool persistent;
  };
  const std::vector<Case> cases = {
      {{"HTTP/1.1 200 OK\r\n", "Content-Length: 12\r\n"}, false, K::Length, 12, true},
      {{"HTTP/1.1 200 OK\r\n", "content-length:7\r\n", "Content-Length: 7\r\n"},
       false,
       K::Length,
       7,
       true},
      {{"HTTP/1.1 200 OK\r\n", "Content-Length: 7\r\n", "Content-Length: 8\r\n"},
       false,
       K::ToClose,
       0,
       false},
      {{"HTTP/1.1 200 OK\r\n", "Content-Length: -1\r\n"}, false, K::ToClose, 0, false},
      {{"HTTP/1.1 200 OK\r\n", "Content-Length: 99999999999999999999\r\n"},
       false,
       K::ToClose,
       0,
       false},
      {{"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: chunked\r\n", "Content-Length: 5\r\n"},
       false,
       K::Chunked,
       0,
       true},
      {{"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: gzip, Chunked\r\n"}, false, K::Chunked, 0, true},
      {{"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: chunked, gzip\r\n"},
       false,
       K::ToClose,
       0,
       false},
      {{"HTTP/1.1 200 OK\r\n"}, false, K::ToClose, 0, false},
      {{"HTTP/1.1 200 OK\r\n", "Content-Length: 3\r\n", "Connection: keep-alive, Close\r\n"},
       false,
       K::Length,
       3,
       false},
      {{"HTTP/1.0 200 OK\r\n", "Content-Length: 3\r\n", "Connection: keep-alive\r\n"},
       false,
       K::Length,
       3,
       false},
      {{"HTTP/1.1 204 No Content\r\n"}, false, K::Empty, 0, true},
      {{"HTTP/1.1 304 Not Modified\r\n", "Content-Length: 40\r\n"}, false, K::Empty, 0, true},
      {{"HTTP/1.1 200 OK\r\n", "Content-Length: 40\r\n"}, true, K::Empty, 0, true},
      {{"garbage\r\n", "Content-Length: 3\r\n"}, false, K::Length, 3, false},
  };
  for (const Case& c : cases) {
    TReplyFraming f = FramingOf(c.lines, c.head);
    EXPECT_EQ(f.kind, c.kind) << c.lines.front() << c.lines.back();
    EXPECT_EQ(f.length, c.length) << c.lines.front() << c.lines.back();
    EXPECT_EQ(f.persistent, c.persistent) << c.lines.front() << c.lines.back();
  }
}

TEST(ReplyScanner, FindsTheEndOfEachReply) {
  struct Case {
    std::string reply;
    bool complete;
    bool reusable;
  };
  const std::vector<Case> cases = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", true, true},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nab", false, false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcd", true, false},  // more than announced
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", true, true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", false, false},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nQ\r\n", false, false},
      {"HTTP/1.1 204 No Content\r\n\r\n", true, true},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", true, true},
      {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", true, false},
      {"HTTP/1.1 200 OK\r\n\r\nuntil close", false, false},
      // A header line longer than the scanner follows is given up on, as is an endless header.
      {"HTTP/1.1 200 OK\r\nX: " + std::string(TReplyScanner::kMaxLine, 'a') +
           "\r\nContent-Length: 0\r\n\r\n",
       false, false},
      {[] {
         std::string endless = "HTTP/1.1 200 OK\r\n";
         while (endless.size() <= TReplyScanner::kMaxHeader) endless += "X: a\r\n";
         return endless + "Content-Length: 0\r\n\r\n";
       }(),
       false, false},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {c.reply.size(), std::size_t{1}, std::size_t{7}}) {
      TReplyScanner s;
      for (std::size_t at = 0; at < c.reply.size(); at += piece) {
        s.Feed(c.reply.data() + at, std::min(piece, c.reply.size() - at));
      }
      EXPECT_EQ(s.Complete(), c.complete) << c.reply << " piece " << piece;
      EXPECT_EQ(s.Reusable(), c.reusable) << c.reply << " piece " << piece;
    }
  }
}

}  // namespace
}  // namespace toravin
