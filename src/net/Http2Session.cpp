#include "net/Http2Session.h"

#include <nghttp2/nghttp2.h>
#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "net/SocketErrors.h"
#include "platform/Clock.h"

namespace toravin {
namespace {

using Clock = std::chrono::steady_clock;

THttp2Session& SessionOf(void* userData) { return *static_cast<THttp2Session*>(userData); }

int OnBeginHeaders(nghttp2_session*, const nghttp2_frame* frame, void* userData) {
  if (frame->hd.type != NGHTTP2_HEADERS) return 0;
  THttp2Session::Exchange* ex = SessionOf(userData).Find(frame->hd.stream_id);
  if (!ex) return 0;
  // A new response header block replaces an informational one; trailers add nothing.
  if (ex->reply.status < 200) {
    ex->reply.status = 0;
    ex->reply.header.clear();
    ex->headerBytes = 0;
  }
  return 0;
}

int OnHeader(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
             std::size_t nameLength, const std::uint8_t* value, std::size_t valueLength,
             std::uint8_t, void* userData) {
  if (frame->hd.type != NGHTTP2_HEADERS) return 0;
  THttp2Session& session = SessionOf(userData);
  THttp2Session::Exchange* ex = session.Find(frame->hd.stream_id);
  if (!ex || ex->finished) return 0;
  session.MarkProgress();
  ex->headerBytes += nameLength + valueLength + 4;
  if (ex->headerBytes > THttp2Session::kMaxHeaderBytes) {
    ex->reply.failure = "Reply header too long";
    return NGHTTP2_ERR_TEMPORAL_CALLBACK_FAILURE;
  }
  const std::string_view n(reinterpret_cast<const char*>(name), nameLength);
  const std::string_view v(reinterpret_cast<const char*>(value), valueLength);
  if (!ex->reply.header.empty() && ex->reply.header.ends_with("\r\n\r\n")) return 0;  // trailers
  if (n == ":status") {
    int code = 0;
    for (char c : v) code = code * 10 + (c - '0');  // the library checked it is three digits
    ex->reply.status = code;
    ex->reply.header = "HTTP/2 " + std::string(v) + "\r\n" + ex->reply.header;
    return 0;
  }
  if (n.starts_with(':')) return 0;
  ex->reply.header.append(n).append(": ").append(v).append("\r\n");
  return 0;
}

int OnFrameRecv(nghttp2_session*, const nghttp2_frame* frame, void* userData) {
  THttp2Session& session = SessionOf(userData);
  if (frame->hd.type == NGHTTP2_GOAWAY) {
    session.OnGoaway(frame->goaway.last_stream_id, frame->goaway.error_code);
    return 0;
  }
  if (frame->hd.type != NGHTTP2_HEADERS || !(frame->hd.flags & NGHTTP2_FLAG_END_HEADERS)) return 0;
  THttp2Session::Exchange* ex = session.Find(frame->hd.stream_id);
  if (!ex || ex->reply.status < 200 || ex->reply.header.ends_with("\r\n\r\n")) return 0;
  ex->reply.header += "\r\n";
  return 0;
}

int OnData(nghttp2_session*, std::uint8_t, std::int32_t id, const std::uint8_t* data,
           std::size_t length, void* userData) {
  THttp2Session& session = SessionOf(userData);
  THttp2Session::Exchange* ex = session.Find(id);
  if (!ex || ex->finished || !ex->readerConsumes) {
    // Not held back for a reader: handed on at once, or for a stream we no longer read.
    session.Consume(id, length);
  }
  if (!ex || ex->finished) return 0;
  session.MarkProgress();
  ex->reply.bodyBytes += static_cast<std::int64_t>(length);
  if (ex->sink) {
    ex->sink->Write(reinterpret_cast<const char*>(data), length);
  } else {
    ex->reply.body.append(reinterpret_cast<const char*>(data), length);
  }
  return 0;
}

int OnStreamClose(nghttp2_session*, std::int32_t id, std::uint32_t errorCode, void* userData) {
  THttp2Session& session = SessionOf(userData);
  THttp2Session::Exchange* ex = session.Find(id);
  if (!ex || ex->finished) return 0;
  session.MarkProgress();
  ex->finished = true;
  THttp2Reply& reply = ex->reply;
  if (reply.failure.empty() && errorCode != NGHTTP2_NO_ERROR) {
    reply.failure =
        errorCode == NGHTTP2_REFUSED_STREAM
            ? std::string("Stream refused by the server")
            : "Stream reset by the server (" + std::string(nghttp2_http2_strerror(errorCode)) + ")";
    // A refused stream was not processed, unless the server had begun to answer it all the same.
    reply.unprocessed = errorCode == NGHTTP2_REFUSED_STREAM && reply.status == 0 &&
                        reply.header.empty() && reply.bodyBytes == 0;
  }
  if (reply.failure.empty() && reply.status < 200) reply.failure = "No reply header";
  reply.complete = reply.failure.empty();
  return 0;
}

ssize_t ReadRequestBody(nghttp2_session*, std::int32_t id, std::uint8_t* buffer, std::size_t length,
                        std::uint32_t* flags, nghttp2_data_source*, void* userData) {
  THttp2Session::Exchange* ex = SessionOf(userData).Find(id);
  if (!ex) return NGHTTP2_ERR_TEMPORAL_CALLBACK_FAILURE;
  const std::size_t n = std::min(length, ex->requestBody.size() - ex->requestSent);
  std::memcpy(buffer, ex->requestBody.data() + ex->requestSent, n);
  ex->requestSent += n;
  if (ex->requestSent == ex->requestBody.size()) *flags |= NGHTTP2_DATA_FLAG_EOF;
  return static_cast<ssize_t>(n);
}

nghttp2_nv Pair(const std::string& name, const std::string& value) {
  return nghttp2_nv{reinterpret_cast<std::uint8_t*>(const_cast<char*>(name.data())),
                    reinterpret_cast<std::uint8_t*>(const_cast<char*>(value.data())), name.size(),
                    value.size(), NGHTTP2_NV_FLAG_NONE};
}

}  // namespace

THttp2Session::THttp2Session(TByteStream& stream) : m_stream(stream) {
  nghttp2_session_callbacks* callbacks = nullptr;
  nghttp2_option* option = nullptr;
  if (nghttp2_session_callbacks_new(&callbacks) != 0 || nghttp2_option_new(&option) != 0) {
    nghttp2_session_callbacks_del(callbacks);
    m_broken = true;
    m_brokenWhy = "HTTP/2 session could not be made";
    return;
  }
  nghttp2_session_callbacks_set_on_begin_headers_callback(callbacks, OnBeginHeaders);
  nghttp2_session_callbacks_set_on_header_callback(callbacks, OnHeader);
  nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, OnFrameRecv);
  nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, OnData);
  nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, OnStreamClose);
  // Acknowledgements owed to a flood of SETTINGS or PING end the connection beyond this many.
  nghttp2_option_set_max_outbound_ack(option, 64);
  nghttp2_option_set_max_settings(option, 16);
  nghttp2_option_set_no_recv_client_magic(option, 1);
  nghttp2_option_set_no_auto_window_update(option, 1);
  const int made = nghttp2_session_client_new2(&m_session, callbacks, this, option);
  nghttp2_session_callbacks_del(callbacks);
  nghttp2_option_del(option);
  if (made != 0) {
    m_session = nullptr;
    m_broken = true;
    m_brokenWhy = "HTTP/2 session could not be made";
    return;
  }
  const nghttp2_settings_entry settings[] = {
      {NGHTTP2_SETTINGS_ENABLE_PUSH, 0},
      {NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, kMaxStreams},
      {NGHTTP2_SETTINGS_INITIAL_WINDOW_SIZE, kStreamWindow},
      {NGHTTP2_SETTINGS_MAX_HEADER_LIST_SIZE, kMaxHeaderBytes},
  };
  if (nghttp2_submit_settings(m_session, NGHTTP2_FLAG_NONE, settings, std::size(settings)) != 0 ||
      nghttp2_session_set_local_window_size(m_session, NGHTTP2_FLAG_NONE, 0, kConnectionWindow) !=
          0) {
    m_broken = true;
    m_brokenWhy = "HTTP/2 session could not be made";
  }
}

THttp2Session::~THttp2Session() { nghttp2_session_del(m_session); }

bool THttp2Session::Usable() const {
  // A server that allows no stream at all takes none: a request submitted now would wait, unsent,
  // for as long as the server likes.
  if (m_broken || m_goaway || !m_session || !m_stream.IsOpen()) return false;
  const std::uint32_t allowed =
      nghttp2_session_get_remote_settings(m_session, NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS);
  return nghttp2_session_want_read(m_session) != 0 && allowed > 0;
}

std::size_t THttp2Session::OpenStreams() const {
  return static_cast<std::size_t>(std::count_if(m_exchanges.begin(), m_exchanges.end(),
                                                [](const auto& e) { return !e.second.finished; }));
}

THttp2Session::Exchange* THttp2Session::Find(std::int32_t id) {
  auto it = m_exchanges.find(id);
  return it == m_exchanges.end() ? nullptr : &it->second;
}

void THttp2Session::OnGoaway(std::int32_t lastStream, std::uint32_t errorCode) {
  m_goaway = true;
  for (auto& [id, ex] : m_exchanges) {
    if (id > lastStream && !ex.finished) {
      ex.finished = true;
      ex.reply.unprocessed = true;
      ex.reply.failure = "Connection ended by the server (GOAWAY, " +
                         std::string(nghttp2_http2_strerror(errorCode)) + ")";
    }
  }
}

std::int32_t THttp2Session::Submit(const THttp2Request& request, TBodySink* sink,
                                   bool readerConsumes) {
  if (!Usable() || OpenStreams() >= kMaxStreams) return 0;
  static const std::string kMethod = ":method", kScheme = ":scheme", kAuthority = ":authority",
                           kPath = ":path";
  std::vector<nghttp2_nv> fields{Pair(kMethod, request.method), Pair(kScheme, request.scheme),
                                 Pair(kAuthority, request.authority), Pair(kPath, request.path)};
  for (const auto& [name, value] : request.headers) fields.push_back(Pair(name, value));
  nghttp2_data_provider body{};
  body.read_callback = ReadRequestBody;
  const std::int32_t id = nghttp2_submit_request(m_session, nullptr, fields.data(), fields.size(),
                                                 request.body.empty() ? nullptr : &body, nullptr);
  if (id <= 0) return 0;
  Exchange& ex = m_exchanges[id];
  ex.sink = sink;
  ex.readerConsumes = sink && readerConsumes;
  ex.requestBody = request.body;
  return id;
}

void THttp2Session::FailAll(const std::string& why) {
  for (auto& [id, ex] : m_exchanges) {
    if (!ex.finished) {
      ex.finished = true;
      if (ex.reply.failure.empty()) ex.reply.failure = why;
    }
  }
}

bool THttp2Session::Flush() {
  for (;;) {
    if (m_outgoingSent == m_outgoing.size()) {
      m_outgoing.clear();
      m_outgoingSent = 0;
      // The library gives a frame or so at a time: everything due goes out in one send (one
      // record, one wake-up of the server), not a send for each request's frames.
      for (;;) {
        const std::uint8_t* data = nullptr;
        const auto length = nghttp2_session_mem_send(m_session, &data);
        if (length < 0) {
          m_brokenWhy = nghttp2_strerror(static_cast<int>(length));
          return false;
        }
        if (length == 0) break;
        m_outgoing.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
        if (m_outgoing.size() >= kSendBatchBytes) break;
      }
      if (m_outgoing.empty()) return true;
      m_lastSentMs = TickCountMs();
    }
    const std::int64_t n =
        m_stream.Send(m_outgoing.data() + m_outgoingSent, m_outgoing.size() - m_outgoingSent);
    if (n > 0) {
      m_outgoingSent += static_cast<std::size_t>(n);
      m_lastSentMs = TickCountMs();
    } else if (n == -kWsaWouldBlock || n == 0) {
      if (TickCountMs() - m_lastSentMs < kFlushMs) return true;
      m_brokenWhy = "Timed out";
      return false;
    } else {
      m_brokenWhy = "Connection failed while sending";
      return false;
    }
  }
}

bool THttp2Session::ReadSome(int waitMs) {
  if (!m_stream.WaitReadable(waitMs)) return true;
  char buffer[16384];
  for (int round = 0; round < 64; ++round) {
    const std::int64_t n = m_stream.Receive(buffer, sizeof buffer, false);
    if (n == -kWsaWouldBlock) return true;
    if (n <= 0) {
      m_brokenWhy = n == 0 ? "Connection closed by the server" : "Connection failed";
      return false;
    }
    const auto used = nghttp2_session_mem_recv(
        m_session, reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(n));
    if (used < 0) {
      m_brokenWhy =
          std::string("HTTP/2 protocol error: ") + nghttp2_strerror(static_cast<int>(used));
      return false;
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) return true;
  }
  return true;
}

THttp2Reply THttp2Session::Finish(std::int32_t id, int idleMs,
                                  const std::function<bool()>& cancelled) {
  auto deadline = Clock::now() + std::chrono::milliseconds(idleMs);
  for (;;) {
    Exchange* ex = Find(id);
    if (!ex) {
      THttp2Reply none;
      none.failure = m_brokenWhy.empty() ? "No such stream" : m_brokenWhy;
      return none;
    }
    if (ex->finished) {
      THttp2Reply reply = std::move(ex->reply);
      m_exchanges.erase(id);
      return reply;
    }
    if (m_broken) {
      FailAll(m_brokenWhy);
      continue;
    }
    if (cancelled && cancelled()) {
      ex->finished = true;
      ex->reply.failure = "Cancelled";
      nghttp2_submit_rst_stream(m_session, NGHTTP2_FLAG_NONE, id, NGHTTP2_CANCEL);
      Flush();
      continue;
    }
    if (!Flush()) {
      m_broken = true;
      continue;
    }
    if (nghttp2_session_want_read(m_session) == 0 && nghttp2_session_want_write(m_session) == 0) {
      // Either side has ended the session: the server by GOAWAY, or the library after the
      // server broke the protocol (it then sent GOAWAY itself).
      m_broken = true;
      if (m_brokenWhy.empty()) {
        m_brokenWhy = m_goaway ? "Connection ended by the server" : "HTTP/2 protocol error";
      }
      continue;
    }
    m_progress = false;
    if (!ReadSome(kSliceMs)) {
      m_broken = true;
      continue;
    }
    if (m_progress) {
      deadline = Clock::now() + std::chrono::milliseconds(idleMs);
    } else if (Clock::now() >= deadline) {
      // A server that says nothing for our streams cannot be trusted with the next one either.
      m_broken = true;
      m_brokenWhy = "Timed out";
    }
  }
}

bool THttp2Session::Pump(int waitMs) {
  if (!m_broken && !Flush()) m_broken = true;
  if (!m_broken && nghttp2_session_want_read(m_session) == 0 &&
      nghttp2_session_want_write(m_session) == 0) {
    m_broken = true;
    if (m_brokenWhy.empty()) {
      m_brokenWhy = m_goaway ? "Connection ended by the server" : "HTTP/2 protocol error";
    }
  }
  if (!m_broken && !ReadSome(waitMs)) m_broken = true;
  if (!m_broken && !Flush()) m_broken = true;
  if (m_broken) FailAll(m_brokenWhy);
  return !m_broken;
}

void THttp2Session::Consume(std::int32_t id, std::size_t bytes) {
  // Counted for the connection always, and for the stream while the library still has it.
  if (m_session && bytes > 0) nghttp2_session_consume(m_session, id, bytes);
}

THttp2Reply THttp2Session::Take(std::int32_t id) {
  Exchange* ex = Find(id);
  if (!ex) return {};
  THttp2Reply reply = std::move(ex->reply);
  m_exchanges.erase(id);
  return reply;
}

void THttp2Session::Cancel(std::int32_t id) {
  Exchange* ex = Find(id);
  if (!ex) return;
  if (!ex->finished && m_session) {
    nghttp2_submit_rst_stream(m_session, NGHTTP2_FLAG_NONE, id, NGHTTP2_CANCEL);
  }
  m_exchanges.erase(id);
}

THttp2Reply THttp2Session::Fetch(const THttp2Request& request, TBodySink* sink, int idleMs,
                                 const std::function<bool()>& cancelled) {
  const std::int32_t id = Submit(request, sink);
  if (id == 0) {
    THttp2Reply none;
    none.failure = m_brokenWhy.empty() ? "HTTP/2 connection cannot take a request" : m_brokenWhy;
    return none;
  }
  return Finish(id, idleMs, cancelled);
}

}  // namespace toravin
