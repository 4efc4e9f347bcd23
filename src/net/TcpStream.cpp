// Non-blocking TCP for the socket client. Connect completion is SO_ERROR after writability; a
// peer's close shows as a readable socket whose receive returns 0. Sends never raise SIGPIPE.
#include "net/TcpStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/SocketErrors.h"

namespace toravin {

TTcpStream::~TTcpStream() { Close(); }

int TTcpStream::Connect(std::uint32_t address, std::uint16_t port) {
  Close();
  m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (m_fd < 0) return WsaCodeFromErrno(errno);
  // Requests go out as one block each; there is nothing to gain from delaying them.
  int one = 1;
  ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
  return WsaCodeFromErrno(errno);
}

int TTcpStream::PollConnect(int ms) {
  if (m_fd < 0) return kWsaNotConnected;
  if (!Wait(POLLOUT, ms)) return kWsaWouldBlock;
  int err = 0;
  socklen_t len = sizeof err;
  if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
  return WsaCodeFromErrno(err);
}

std::int64_t TTcpStream::Receive(char* buffer, std::size_t size, bool peek) {
  if (m_fd < 0) return -kWsaNotConnected;
  for (;;) {
    ssize_t n = ::recv(m_fd, buffer, size, peek ? MSG_PEEK : 0);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return -WsaCodeFromErrno(errno);
  }
}

std::int64_t TTcpStream::Send(const char* buffer, std::size_t size) {
  if (m_fd < 0) return -kWsaNotConnected;
  for (;;) {
    ssize_t n = ::send(m_fd, buffer, size, MSG_NOSIGNAL);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    return -WsaCodeFromErrno(errno);
  }
}

bool TTcpStream::Wait(short events, int ms) {
  if (m_fd < 0) return true;  // the next call reports "not connected" at once
  pollfd p{m_fd, events, 0};
  for (;;) {
    int r = ::poll(&p, 1, ms);
    if (r >= 0) return r > 0;
    if (errno != EINTR) return true;
  }
}

bool TTcpStream::WaitReadable(int ms) { return Wait(POLLIN, ms); }
bool TTcpStream::WaitWritable(int ms) { return Wait(POLLOUT, ms); }

void TTcpStream::Close() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

}  // namespace toravin
