#include "net/Http2Stream.h"

#include <algorithm>
#include <cstring>

#include "net/SocketErrors.h"

namespace toravin {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Header fields that belong to an HTTP/1.x connection and have no place in HTTP/2.
bool ConnectionField(const std::string& name) {
  return name == "host" || name == "connection" || name == "proxy-connection" ||
         name == "keep-alive" || name == "transfer-encoding" || name == "upgrade" || name == "te";
}

}  // namespace

std::shared_ptr<THttp2Connection> FindHttp2(TConnectionPool& pool, const std::string& key) {
  auto& all = pool.Http2();
  auto it = all.find(key);
  if (it == all.end()) return nullptr;
  if (!it->second->Session().Usable()) {
    all.erase(it);
    return nullptr;
  }
  return it->second->HasRoom() ? it->second : nullptr;
}

THttp2Stream::THttp2Stream(std::unique_ptr<TByteStream> inner, const std::string& host,
                           std::string authority, std::shared_ptr<TConnectionPool> pool,
                           std::string key)
    : m_tls(std::make_unique<TTlsStream>(std::move(inner), host)),
      m_pool(std::move(pool)),
      m_key(std::move(key)),
      m_authority(std::move(authority)) {
  m_tls->OfferHttp2();
}

THttp2Stream::THttp2Stream(std::shared_ptr<THttp2Connection> connection, std::string authority)
    : m_connection(std::move(connection)), m_authority(std::move(authority)) {}

THttp2Stream::~THttp2Stream() { Close(); }

int THttp2Stream::Connect(std::uint32_t address, std::uint16_t port) {
  m_open = true;
  if (m_connection) return 0;
  const int rc = m_tls->Connect(address, port);
  return rc == 0 ? PollConnect(0) : rc;
}

int THttp2Stream::PollConnect(int ms) {
  if (m_connection || !m_tls) return 0;
  const int rc = m_tls->PollConnect(ms);
  if (rc != 0) return rc;
  const bool http2 = m_tls->ChosenProtocol() == "h2";
  if (m_pool) m_pool->Learn(m_key, http2);
  if (http2) {
    m_connection = std::make_shared<THttp2Connection>(std::move(m_tls));
    if (m_pool) m_pool->Http2()[m_key] = m_connection;
  }
  // The pool has what it needed. A stream that goes on over HTTP/1.1 may be kept idle in it, and
  // must not keep the pool alive in turn.
  m_pool.reset();
  return 0;
}

bool THttp2Stream::SubmitWhenWhole() {
  const std::size_t end = m_request.find("\r\n\r\n");
  if (end == std::string::npos) return true;
  THttp2Request request;
  request.authority = m_authority;
  std::size_t contentLength = 0;
  std::size_t at = 0;
  bool first = true;
  while (at < end) {
    const std::size_t eol = m_request.find("\r\n", at);
    const std::string line = m_request.substr(at, eol - at);
    at = eol + 2;
    if (first) {
      first = false;
      const std::size_t sp1 = line.find(' ');
      const std::size_t sp2 = line.rfind(' ');
      if (sp1 == std::string::npos || sp2 <= sp1) return false;
      request.method = line.substr(0, sp1);
      request.path = line.substr(sp1 + 1, sp2 - sp1 - 1);
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = Lower(Trim(line.substr(0, colon)));
    const std::string value = Trim(line.substr(colon + 1));
    if (name.empty() || ConnectionField(name)) continue;
    if (name == "content-length") contentLength = std::strtoull(value.c_str(), nullptr, 10);
    request.headers.emplace_back(name, value);
  }
  if (m_request.size() < end + 4 + contentLength) return true;  // the body is still to come
  request.body = m_request.substr(end + 4, contentLength);
  m_id = m_stream = m_connection->Session().Submit(request, &m_sink, true);
  // A request the connection could no longer take (it has ended, or is full) never left.
  m_unprocessed = m_id == 0;
  return m_id != 0;
}

std::int64_t THttp2Stream::Send(const char* buffer, std::size_t size) {
  if (!m_connection) return m_tls ? m_tls->Send(buffer, size) : -kWsaNotConnected;
  if (!m_open || m_id != 0 || m_ended) return -kWsaConnAborted;
  m_request.append(buffer, size);
  if (!SubmitWhenWhole()) {
    m_ended = m_failed = true;
    return -kWsaConnAborted;
  }
  // The request's frames go out with the session's next step (this stream's first read, or
  // another's), together with those of the other streams submitted meanwhile.
  return static_cast<std::int64_t>(size);
}

void THttp2Stream::Collect() {
  if (m_id == 0 || m_ended) return;
  THttp2Session& session = m_connection->Session();
  const THttp2Session::Exchange* ex = session.Peek(m_id);
  if (!ex) {
    m_ended = m_failed = true;
    return;
  }
  const bool headerWhole = ex->reply.status >= 200 && ex->reply.header.ends_with("\r\n\r\n");
  if (!m_headerOut && headerWhole) {
    m_out += ex->reply.header;
    m_headerLeft = ex->reply.header.size();
    m_headerOut = true;
  }
  if (m_headerOut) {
    m_out += m_sink.data;
    m_sink.data.clear();
  }
  if (ex->finished) {
    const THttp2Reply reply = session.Take(m_id);
    m_id = 0;
    m_ended = true;
    m_failed = !reply.complete;
    m_unprocessed = reply.unprocessed;
  }
}

std::int64_t THttp2Stream::Receive(char* buffer, std::size_t size, bool peek) {
  if (!m_connection) return m_tls ? m_tls->Receive(buffer, size, peek) : -kWsaNotConnected;
  if (!m_open) return -kWsaNotConnected;
  if (m_out.empty() && !m_ended) {
    m_connection->Session().Pump(0);
    Collect();
  }
  if (!m_out.empty()) {
    const std::size_t n = std::min(size, m_out.size());
    std::memcpy(buffer, m_out.data(), n);
    if (!peek) {
      m_out.erase(0, n);
      Taken(n);
    }
    return static_cast<std::int64_t>(n);
  }
  if (!m_ended) return -kWsaWouldBlock;
  return m_failed ? -kWsaConnReset : 0;
}

bool THttp2Stream::WaitReadable(int ms) {
  if (!m_connection) return m_tls ? m_tls->WaitReadable(ms) : false;
  Collect();
  if (!m_out.empty() || m_ended || !m_open) return true;
  m_connection->Session().Pump(std::max(ms, 0));
  Collect();
  return !m_out.empty() || m_ended;
}

bool THttp2Stream::WaitWritable(int ms) {
  if (!m_connection) return m_tls ? m_tls->WaitWritable(ms) : false;
  return true;
}

void THttp2Stream::Taken(std::size_t bytes) {
  const std::size_t header = std::min(bytes, m_headerLeft);
  m_headerLeft -= header;
  if (m_connection && m_stream != 0) m_connection->Session().Consume(m_stream, bytes - header);
}

void THttp2Stream::Close() {
  if (m_connection && m_id != 0) m_connection->Session().Cancel(m_id);
  m_id = 0;
  // What was received and will not be read is given back to the connection's window.
  Taken(m_out.size());
  m_out.clear();
  if (m_connection && m_stream != 0) m_connection->Session().Consume(m_stream, m_sink.data.size());
  m_sink.data.clear();
  m_stream = 0;
  if (m_tls) m_tls->Close();
  m_open = false;
}

std::string THttp2Stream::FailureText(int code) const {
  return m_tls ? m_tls->FailureText(code) : std::string();
}

}  // namespace toravin
