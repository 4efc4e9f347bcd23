// The helper thread owns a shared_ptr to the lookup's state, so the state outlives whichever side
// finishes last; the thread is detached because nobody waits for it beyond the caller's time-out.
#include "net/HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "net/SocketErrors.h"

namespace toravin {
namespace {

class TThreadLookup : public THostLookup {
 public:
  bool Done() const override { return m_done.load(std::memory_order_acquire); }
  int Error() const override { return m_error; }
  std::uint32_t Address() const override { return m_address; }

  void Run(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (rc == 0 && result != nullptr) {
      const auto* sa = reinterpret_cast<const sockaddr_in*>(result->ai_addr);
      m_address = ntohl(sa->sin_addr.s_addr);
    } else {
      m_error = WsaCodeFromAddrInfo(rc == 0 ? EAI_NONAME : rc);
    }
    if (result != nullptr) ::freeaddrinfo(result);
    m_done.store(true, std::memory_order_release);
  }

 private:
  std::atomic<bool> m_done{false};
  int m_error = 0;
  std::uint32_t m_address = 0;
};

class TFixedLookup : public THostLookup {
 public:
  TFixedLookup(int error, std::uint32_t address) : m_error(error), m_address(address) {}
  bool Done() const override { return true; }
  int Error() const override { return m_error; }
  std::uint32_t Address() const override { return m_address; }

 private:
  int m_error;
  std::uint32_t m_address;
};

}  // namespace

std::shared_ptr<THostLookup> StartHostLookup(const std::string& name) {
  auto lookup = std::make_shared<TThreadLookup>();
  std::thread([lookup, name] { lookup->Run(name); }).detach();
  return lookup;
}

std::shared_ptr<THostLookup> CompletedHostLookup(int error, std::uint32_t address) {
  return std::make_shared<TFixedLookup>(error, address);
}

}  // namespace toravin
