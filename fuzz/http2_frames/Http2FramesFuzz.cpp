// Fuzzes the HTTP/2 session with the server's bytes. The first byte picks the piece size they
// arrive in; the rest is what the server sends after the client's preface, for two requests open
// at once. Whatever arrives, both exchanges end (the connection closes after the bytes), a
// complete reply has a final status and a whole header text, a failed one says why, the header
// stays within its bound, and the body counted is the body held.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "net/Http2Session.h"
#include "net/MemoryStream.h"

namespace {

void Check(const toravin::THttp2Reply& reply) {
  if (reply.complete != reply.failure.empty()) std::abort();
  if (reply.complete) {
    if (reply.status < 200 || reply.status > 999) std::abort();
    if (!reply.header.starts_with("HTTP/2 ") || !reply.header.ends_with("\r\n\r\n")) std::abort();
  }
  if (reply.header.size() > toravin::THttp2Session::kMaxHeaderBytes + 16) std::abort();
  if (reply.bodyBytes != static_cast<std::int64_t>(reply.body.size())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  auto peer = std::make_shared<toravin::TMemoryPeer>();
  peer->chunk = 1 + data[0] % 61;
  peer->replies.emplace_back(reinterpret_cast<const char*>(data + 1), size - 1);
  toravin::TMemoryStream stream(peer);
  stream.Connect(0x7f000001, 443);
  toravin::THttp2Session session(stream);
  toravin::THttp2Request request;
  request.authority = "example.test";
  const std::int32_t first = session.Submit(request, nullptr);
  request.path = "/b";
  const std::int32_t second = session.Submit(request, nullptr);
  if (first != 1 || second != 3) std::abort();
  Check(session.Finish(second, 10, nullptr));
  Check(session.Finish(first, 10, nullptr));
  if (session.OpenStreams() != 0) std::abort();
  return 0;
}
