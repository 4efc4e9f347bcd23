// THttp2Session: HTTP/2 exchanges on one connected byte stream (TLS after "h2" was chosen by
// ALPN). The library nghttp2 does the framing, flow control and header compression; the bytes go
// through our stream, and every wait is ours: a slice at a time, under an idle time-out and a
// cancellation check. Several requests may be open at once as streams of the one connection; each
// reply's header is given as the text an HTTP/1.x reply would have ("HTTP/2 200" first, then its
// header lines), and its body goes to a sink or is held in memory. A stream the server resets, a
// GOAWAY that leaves it unanswered, a header list beyond kMaxHeaderBytes, a protocol error or a
// silent server ends that exchange with a failure text; the session then takes no new requests
// when the connection itself cannot go on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/BodySink.h"
#include "net/ByteStream.h"

typedef struct nghttp2_session nghttp2_session;

namespace toravin {

struct THttp2Request {
  std::string method = "GET";
  std::string scheme = "https";
  std::string authority;  // host, with ":port" when not the default
  std::string path = "/";
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;                                          // sent as DATA when not empty
};

struct THttp2Reply {
  int status = 0;
  std::string header;  // "HTTP/2 200\r\nname: value\r\n...\r\n"
  std::string body;    // when no sink took it
  std::int64_t bodyBytes = 0;
  bool complete = false;  // the stream ended normally with its whole reply
  std::string failure;    // why it did not; empty when complete
  // The server did not process the request (it refused the stream, or the stream was beyond its
  // GOAWAY): it may be made again.
  bool unprocessed = false;
};

class THttp2Session {
 public:
  // A reply header list (names, values and four bytes a line) beyond this ends its stream.
  static constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
  // Our streams open at once.
  static constexpr std::uint32_t kMaxStreams = 32;
  // Flow-control windows: per stream, and for the whole connection. A body handed to a sink whose
  // reader consumes is owed to the server until the reader says it has taken it (Consume): a
  // stream whose reader waits holds at most one stream window. The connection window has room
  // for every stream's window and one more, so streams that are not read never stall the one
  // that is.
  static constexpr std::uint32_t kStreamWindow = 1 << 20;
  static constexpr std::int32_t kConnectionWindow = (kMaxStreams + 1) * kStreamWindow;
  // One wait slice, so that cancellation is seen promptly.
  static constexpr int kSliceMs = 50;
  // Frames queued for a connection that takes none of them for this long end it.
  static constexpr int kFlushMs = 30000;
  // Frames gathered for one send, at most about this many bytes.
  static constexpr std::size_t kSendBatchBytes = 64 * 1024;

  // `stream` must be connected and outlive the session. The client preface and SETTINGS are
  // queued at once and go out with the first request.
  explicit THttp2Session(TByteStream& stream);
  ~THttp2Session();
  THttp2Session(const THttp2Session&) = delete;
  THttp2Session& operator=(const THttp2Session&) = delete;

  // False once the connection cannot carry a new stream (GOAWAY, failure, closed, or a server that
  // allows none).
  bool Usable() const;
  // Streams submitted and not yet finished.
  std::size_t OpenStreams() const;

  // Opens a stream for `request`; its body goes to `sink` (which must live until the stream is
  // finished) or, when null, into the reply's body. With `readerConsumes`, the bytes given to the
  // sink stay owed to the server's window until Consume is called for them. Returns the stream's
  // id, or 0 when the session cannot take it.
  std::int32_t Submit(const THttp2Request& request, TBodySink* sink, bool readerConsumes = false);

  // Exchanges bytes until stream `id` is finished; other streams advance meanwhile. A silent
  // connection ends it after `idleMs` without a frame for one of our streams; `cancelled` is
  // asked between slices. The reply is taken out of the session.
  THttp2Reply Finish(std::int32_t id, int idleMs, const std::function<bool()>& cancelled);

  // One step without blocking for long: queued frames go out as far as the connection takes them
  // now, then what arrives within `waitMs` is read. False once the connection is broken (every
  // open stream then fails).
  bool Pump(int waitMs);
  // The reader of stream `id` has taken `bytes` of the body its sink was given: the server may
  // send that much more. Also for a stream that has ended or was given up.
  void Consume(std::int32_t id, std::size_t bytes);
  // Takes the reply of a finished stream out of the session.
  THttp2Reply Take(std::int32_t id);
  // Gives up stream `id`: it is reset (CANCEL) with the next frames sent, and forgotten.
  void Cancel(std::int32_t id);

  // Runs one request to its end: Submit then Finish.
  THttp2Reply Fetch(const THttp2Request& request, TBodySink* sink, int idleMs,
                    const std::function<bool()>& cancelled);

  // Implementation details reached from the library's callbacks.
  struct Exchange {
    THttp2Reply reply;
    TBodySink* sink = nullptr;
    bool readerConsumes = false;
    std::size_t headerBytes = 0;
    bool finished = false;
    std::string requestBody;
    std::size_t requestSent = 0;
  };
  Exchange* Find(std::int32_t id);
  // The exchange of stream `id` as it stands (header, failure, finished), or null.
  const Exchange* Peek(std::int32_t id) { return Find(id); }
  void MarkProgress() { m_progress = true; }
  void OnGoaway(std::int32_t lastStream, std::uint32_t errorCode);

 private:
  // Sends what the library has queued as far as the connection takes it now; the rest waits for
  // the next call. False on a stream failure, or when nothing went out for kFlushMs.
  bool Flush();
  // Reads what is waiting (up to one wait slice) and feeds it in; false when the connection ended.
  bool ReadSome(int waitMs);
  void FailAll(const std::string& why);

  TByteStream& m_stream;
  nghttp2_session* m_session = nullptr;
  std::map<std::int32_t, Exchange> m_exchanges;
  bool m_broken = false;
  bool m_goaway = false;
  bool m_progress = false;
  std::string m_brokenWhy;
  std::string m_outgoing;  // frames the connection has not taken yet
  std::size_t m_outgoingSent = 0;
  std::int64_t m_lastSentMs = 0;
};

}  // namespace toravin
