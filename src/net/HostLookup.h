// One asynchronous host-name lookup. getaddrinfo blocks, so it runs on a short-lived helper
// thread; the user-interface thread polls Done() from its waiting loop, which is how the result
// reaches it. A lookup abandoned after a time-out finishes on its own and frees its state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace toravin {

class THostLookup {
 public:
  virtual ~THostLookup() = default;
  virtual bool Done() const = 0;
  // Valid once Done(): 0 or a Windows Sockets code (11001 "Host not found", ...).
  virtual int Error() const = 0;
  // Valid once Done() with Error() 0: the first IPv4 address, host byte order.
  virtual std::uint32_t Address() const = 0;
};

// Starts a getaddrinfo (IPv4) lookup of `name` on a helper thread.
std::shared_ptr<THostLookup> StartHostLookup(const std::string& name);

// A lookup that is already complete, for resolvers that answer at once (tests).
std::shared_ptr<THostLookup> CompletedHostLookup(int error, std::uint32_t address);

}  // namespace toravin
