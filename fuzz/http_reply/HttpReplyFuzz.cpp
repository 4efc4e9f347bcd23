// Fuzzes the reply-header parser and body capture of THttpClient over the in-memory stream. The
// first byte picks the chunk size the reply is handed out in; the rest is the server's reply.
// Whatever arrives, Get must end (normally or with its own exceptions) with the header a prefix
// and the body a suffix of what the server sent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "net/HttpClient.h"
#include "net/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  auto peer = std::make_shared<toravin::TMemoryPeer>();
  peer->chunk = 1 + data[0] % 64;
  std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
  peer->replies.push_back(reply);
  toravin::THttpClient http;
  http.StreamFactory = [peer] { return std::make_unique<toravin::TMemoryStream>(peer); };
  // Redirects may name any host: answer every lookup at once, so nothing leaves the process.
  http.Resolver = [](const std::string&) { return toravin::CompletedHostLookup(0, 0x7f000001); };
  try {
    http.Get("http://127.0.0.1/page.htm");
  } catch (const std::exception&) {
    return 0;  // the client's own errors (line too long, bad redirect URL, ...) are fine
  }
  if (peer->connects == 1) {
    if (reply.compare(0, http.Header.size(), http.Header) != 0) std::abort();
    if (http.Body.size() > reply.size() ||
        reply.compare(reply.size() - http.Body.size(), http.Body.size(), http.Body) != 0) {
      std::abort();
    }
    if (http.BytesReceived != static_cast<std::int64_t>(http.Body.size())) std::abort();
  }
  return 0;
}
