#include "HeadlessProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace toravin::test {

HeadlessProcess::HeadlessProcess(const std::vector<std::string>& args,
                                 const std::string& outputFile) {
  std::vector<std::string> argv{TORAVIN_HEADLESS};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> ptrs;
  for (std::string& a : argv) ptrs.push_back(a.data());
  ptrs.push_back(nullptr);
  m_pid = ::fork();
  if (m_pid == 0) {
    const int fd = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) ::dup2(fd, STDOUT_FILENO);
    ::execv(ptrs[0], ptrs.data());
    ::_exit(127);
  }
}

HeadlessProcess::~HeadlessProcess() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
}

void HeadlessProcess::Signal(int sig) const {
  if (m_pid > 0) ::kill(m_pid, sig);
}

int HeadlessProcess::Wait(int ms) {
  int status = 0;
  const bool ended = WaitUntil(ms, [&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; });
  if (!ended) return -1;
  m_pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool WaitUntil(int ms, const std::function<bool()>& ready) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace toravin::test
