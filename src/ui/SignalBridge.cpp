#include "ui/SignalBridge.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace toravin {
namespace {

int g_fds[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  // Nothing more can be done in a signal handler when the write fails.
  [[maybe_unused]] ssize_t n = ::write(g_fds[0], &byte, 1);
}

}  // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) return;
  m_notifier = std::make_unique<QSocketNotifier>(g_fds[1], QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
    char buf[16];
    [[maybe_unused]] ssize_t n = ::read(g_fds[1], buf, sizeof buf);
    emit terminationRequested();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

SignalBridge::~SignalBridge() {
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) std::signal(sig, SIG_DFL);
  m_notifier.reset();
  for (int& fd : g_fds) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace toravin
