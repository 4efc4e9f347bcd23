// An in-process HTTP test server on a free 127.0.0.1 port. Each accepted connection takes the next
// scripted reply: it reads the request (header block and announced body), then sends bytes,
// pauses, closes early or falls silent as the script says. A reply marked KeepOpen leaves the
// connection open, and the next request on it takes the next reply. Requests are recorded byte
// for byte. Connections are served one at a time, or each on a thread of its own (Concurrent).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace toravin::test {

class ScriptedReply {
 public:
  struct Step {
    enum class Kind { Send, Delay, Silence };
    Kind kind;
    std::string bytes;
    int ms = 0;
  };

  // A reply that sends `bytes` and closes.
  static ScriptedReply Text(std::string bytes) { return ScriptedReply().Send(std::move(bytes)); }
  // "HTTP/1.0 <status>" + headers + Content-Length + blank line + body, then close.
  static ScriptedReply Http(int status, const std::string& body,
                            const std::string& extraHeaders = "");
  // "HTTP/1.1 <status>" + headers + Content-Length + blank line + body; the connection stays open.
  static ScriptedReply Http11(int status, const std::string& body,
                              const std::string& extraHeaders = "");

  ScriptedReply& Send(std::string bytes);
  ScriptedReply& Delay(int ms);
  // Stays open without sending until the server stops.
  ScriptedReply& Silence();
  // Skip reading the request (a peer that never reads what the client sends).
  ScriptedReply& DontRead();
  // After the steps the connection stays open for the next request.
  ScriptedReply& KeepOpen();

  bool readRequest = true;
  bool keepOpen = false;
  std::vector<Step> steps;
};

class LoopbackHttpServer {
 public:
  // `concurrent`: every connection is served on a thread of its own, so a connection kept open
  // holds up no other.
  explicit LoopbackHttpServer(bool concurrent = false);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::uint16_t port() const { return m_port; }
  // From the next connection on, each is served on a thread of its own.
  void SetConcurrent(bool concurrent);
  // Ends every connection and joins the server's threads; afterwards no router runs any more.
  // The destructor does it too; an owner whose router reads its own members calls it first.
  void Stop();
  // "http://127.0.0.1:<port>" + path
  std::string Url(const std::string& path) const;

  // Chooses each reply from the request (its raw bytes); while set, the queue is not used. It
  // runs on the server's thread.
  using Router = std::function<ScriptedReply(const std::string& request)>;
  void SetRouter(Router router);

  // Replies for the next connections, in order; with none queued a connection is closed at once.
  void Enqueue(ScriptedReply reply);
  // Raw request bytes, one entry per request served so far (one per connection unless kept open).
  std::vector<std::string> Requests() const;
  // The connection (counted from 0 in the order accepted) each request came on.
  std::vector<int> RequestConnections() const;
  int Connections() const;
  // The most connections that were open at once so far.
  int MostOpenAtOnce() const;

 private:
  void Serve();
  void ServeConnection(int fd, int connection);
  // False when the reply ended the connection (it broke, or the server stops).
  bool Handle(int fd, const ScriptedReply& reply, std::size_t index);
  std::string ReadRequest(int fd, std::size_t index);
  bool WaitStop(int ms);  // true when the server is stopping

  int m_listen = -1;
  int m_stopPipe[2] = {-1, -1};
  std::uint16_t m_port = 0;
  mutable std::mutex m_mutex;
  std::deque<ScriptedReply> m_replies;
  Router m_router;
  std::vector<std::string> m_requests;
  std::vector<int> m_requestConnections;
  int m_connections = 0;
  int m_open = 0;
  int m_mostOpen = 0;
  std::atomic<bool> m_concurrent = false;
  std::vector<std::thread> m_workers;
  bool m_stopped = false;
  std::thread m_thread;
};

// The path of a request's first line ("GET /a/b.jpg HTTP/1.0" -> "/a/b.jpg"; the path of a
// proxy request's full URL).
std::string RequestPath(const std::string& request);

// A loopback port with nothing listening on it (connections are refused).
std::uint16_t ClosedLoopbackPort();

}  // namespace toravin::test
