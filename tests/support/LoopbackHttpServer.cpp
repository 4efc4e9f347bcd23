// One server thread, one connection at a time (the client under test is sequential). A pipe wakes
// the thread for shutdown, so silent or delayed replies never hold a test past its end.
#include "support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace toravin::test {

ScriptedReply ScriptedReply::Http(int status, const std::string& body,
                                  const std::string& extraHeaders) {
  std::string text = "HTTP/1.0 " + std::to_string(status) + " Status\r\n" + extraHeaders +
                     "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return Text(std::move(text));
}

ScriptedReply ScriptedReply::Http11(int status, const std::string& body,
                                    const std::string& extraHeaders) {
  std::string text = "HTTP/1.1 " + std::to_string(status) + " Status\r\n" + extraHeaders +
                     "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return Text(std::move(text)).KeepOpen();
}

ScriptedReply& ScriptedReply::KeepOpen() {
  keepOpen = true;
  return *this;
}

ScriptedReply& ScriptedReply::Send(std::string bytes) {
  steps.push_back({Step::Kind::Send, std::move(bytes), 0});
  return *this;
}

ScriptedReply& ScriptedReply::Delay(int ms) {
  steps.push_back({Step::Kind::Delay, {}, ms});
  return *this;
}

ScriptedReply& ScriptedReply::Silence() {
  steps.push_back({Step::Kind::Silence, {}, 0});
  return *this;
}

ScriptedReply& ScriptedReply::DontRead() {
  readRequest = false;
  return *this;
}

LoopbackHttpServer::LoopbackHttpServer(bool concurrent) : m_concurrent(concurrent) {
  if (::pipe(m_stopPipe) != 0) throw std::runtime_error("pipe failed");
  m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(m_listen, 16) != 0) {
    throw std::runtime_error("loopback listen failed");
  }
  socklen_t len = sizeof sa;
  ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &len);
  m_port = ntohs(sa.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

void LoopbackHttpServer::Stop() {
  if (m_stopped) return;
  m_stopped = true;
  char c = 'x';
  [[maybe_unused]] ssize_t w = ::write(m_stopPipe[1], &c, 1);
  m_thread.join();
  for (std::thread& t : m_workers) t.join();
}

LoopbackHttpServer::~LoopbackHttpServer() {
  Stop();
  ::close(m_listen);
  ::close(m_stopPipe[0]);
  ::close(m_stopPipe[1]);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void LoopbackHttpServer::SetConcurrent(bool concurrent) { m_concurrent = concurrent; }

void LoopbackHttpServer::SetRouter(Router router) {
  std::lock_guard lock(m_mutex);
  m_router = std::move(router);
}

std::string RequestPath(const std::string& request) {
  std::size_t sp = request.find(' ');
  if (sp == std::string::npos) return std::string();
  std::size_t end = request.find(' ', sp + 1);
  if (end == std::string::npos) return std::string();
  std::string target = request.substr(sp + 1, end - sp - 1);
  // A proxy request names the whole URL: keep its path.
  std::size_t scheme = target.find("://");
  if (scheme != std::string::npos) {
    std::size_t slash = target.find('/', scheme + 3);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  }
  return target;
}

void LoopbackHttpServer::Enqueue(ScriptedReply reply) {
  std::lock_guard lock(m_mutex);
  m_replies.push_back(std::move(reply));
}

std::vector<std::string> LoopbackHttpServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::vector<int> LoopbackHttpServer::RequestConnections() const {
  std::lock_guard lock(m_mutex);
  return m_requestConnections;
}

int LoopbackHttpServer::MostOpenAtOnce() const {
  std::lock_guard lock(m_mutex);
  return m_mostOpen;
}

int LoopbackHttpServer::Connections() const {
  std::lock_guard lock(m_mutex);
  return m_connections;
}

bool LoopbackHttpServer::WaitStop(int ms) {
  pollfd p{m_stopPipe[0], POLLIN, 0};
  return ::poll(&p, 1, ms) > 0;
}

void LoopbackHttpServer::Serve() {
  for (;;) {
    pollfd p[2] = {{m_stopPipe[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (p[0].revents) return;
    if (!(p[1].revents & POLLIN)) continue;
    int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    int connection;
    {
      std::lock_guard lock(m_mutex);
      connection = m_connections++;
    }
    if (m_concurrent) {
      m_workers.emplace_back([this, fd, connection] { ServeConnection(fd, connection); });
    } else {
      ServeConnection(fd, connection);
    }
  }
}

void LoopbackHttpServer::ServeConnection(int fd, int connection) {
  {
    std::lock_guard lock(m_mutex);
    m_mostOpen = std::max(m_mostOpen, ++m_open);
  }
  for (bool first = true;; first = false) {
    if (!first) {
      // Kept open: wait for the next request, or for the client's close.
      pollfd p[2] = {{m_stopPipe[0], POLLIN, 0}, {fd, POLLIN, 0}};
      if (::poll(p, 2, -1) <= 0 || p[0].revents) break;
      char c;
      if (::recv(fd, &c, 1, MSG_PEEK) <= 0) break;
    }
    ScriptedReply reply;
    Router router;
    std::size_t index;
    {
      std::lock_guard lock(m_mutex);
      router = m_router;
      if (!router && !m_replies.empty()) {
        reply = std::move(m_replies.front());
        m_replies.pop_front();
      }
      m_requests.emplace_back();
      m_requestConnections.push_back(connection);
      index = m_requests.size() - 1;
    }
    if (router) {
      // The request decides the reply; it has been read already.
      reply = router(ReadRequest(fd, index));
      reply.readRequest = false;
    }
    if (!Handle(fd, reply, index) || !reply.keepOpen) break;
  }
  {
    std::lock_guard lock(m_mutex);
    --m_open;
  }
  ::close(fd);
}

std::string LoopbackHttpServer::ReadRequest(int fd, std::size_t index) {
  std::string request;
  std::size_t need = std::string::npos;
  char buf[65536];
  for (;;) {
    std::size_t end = request.find("\r\n\r\n");
    if (end != std::string::npos && need == std::string::npos) {
      need = end + 4;
      std::size_t cl = request.find("Content-Length: ");
      if (cl != std::string::npos && cl < end) need += std::stoul(request.substr(cl + 16));
    }
    if (need != std::string::npos && request.size() >= need) break;
    pollfd p[2] = {{m_stopPipe[0], POLLIN, 0}, {fd, POLLIN, 0}};
    if (::poll(p, 2, 5000) <= 0 || p[0].revents) break;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    request.append(buf, static_cast<std::size_t>(n));
    std::lock_guard lock(m_mutex);
    m_requests[index] = request;
  }
  return request;
}

bool LoopbackHttpServer::Handle(int fd, const ScriptedReply& reply, std::size_t index) {
  if (reply.readRequest) ReadRequest(fd, index);
  for (const ScriptedReply::Step& step : reply.steps) {
    switch (step.kind) {
      case ScriptedReply::Step::Kind::Send: {
        std::size_t done = 0;
        while (done < step.bytes.size()) {
          ssize_t n = ::send(fd, step.bytes.data() + done, step.bytes.size() - done, MSG_NOSIGNAL);
          if (n <= 0) return false;
          done += static_cast<std::size_t>(n);
        }
        break;
      }
      case ScriptedReply::Step::Kind::Delay:
        if (WaitStop(step.ms)) return false;
        break;
      case ScriptedReply::Step::Kind::Silence:
        WaitStop(-1);
        return false;
    }
  }
  return true;
}

std::uint16_t ClosedLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  ::close(fd);
  return ntohs(sa.sin_port);
}

}  // namespace toravin::test
