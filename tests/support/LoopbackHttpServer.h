// An in-process HTTP test server on a free 127.0.0.1 port. Each accepted connection takes the next
// scripted reply: it reads the request (header block and announced body), then sends bytes,
// pauses, closes early or falls silent as the script says. Requests are recorded byte for byte.
#pragma once

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

  ScriptedReply& Send(std::string bytes);
  ScriptedReply& Delay(int ms);
  // Stays open without sending until the server stops.
  ScriptedReply& Silence();
  // Skip reading the request (a peer that never reads what the client sends).
  ScriptedReply& DontRead();

  bool readRequest = true;
  std::vector<Step> steps;
};

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::uint16_t port() const { return m_port; }
  // "http://127.0.0.1:<port>" + path
  std::string Url(const std::string& path) const;

  // Chooses each reply from the request (its raw bytes); while set, the queue is not used. It
  // runs on the server's thread.
  using Router = std::function<ScriptedReply(const std::string& request)>;
  void SetRouter(Router router);

  // Replies for the next connections, in order; with none queued a connection is closed at once.
  void Enqueue(ScriptedReply reply);
  // Raw request bytes, one entry per connection served so far.
  std::vector<std::string> Requests() const;
  int Connections() const;

 private:
  void Serve();
  void Handle(int fd, const ScriptedReply& reply);
  std::string ReadRequest(int fd);
  bool WaitStop(int ms);  // true when the server is stopping

  int m_listen = -1;
  int m_stopPipe[2] = {-1, -1};
  std::uint16_t m_port = 0;
  mutable std::mutex m_mutex;
  std::deque<ScriptedReply> m_replies;
  Router m_router;
  std::vector<std::string> m_requests;
  std::thread m_thread;
};

// The path of a request's first line ("GET /a/b.jpg HTTP/1.0" -> "/a/b.jpg"; the path of a
// proxy request's full URL).
std::string RequestPath(const std::string& request);

// A loopback port with nothing listening on it (connections are refused).
std::uint16_t ClosedLoopbackPort();

}  // namespace toravin::test
