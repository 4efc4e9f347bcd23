// toravin-headless started as a child process of a test: its standard output goes to a file, and
// the test can signal it and wait for its exit.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace toravin::test {

class HeadlessProcess {
 public:
  // Starts the tool with `args`; its output lands in `outputFile`.
  HeadlessProcess(const std::vector<std::string>& args, const std::string& outputFile);
  ~HeadlessProcess();  // kills a child still running
  HeadlessProcess(const HeadlessProcess&) = delete;
  HeadlessProcess& operator=(const HeadlessProcess&) = delete;

  pid_t pid() const { return m_pid; }
  void Signal(int sig) const;
  // The exit status, or 128 + the signal that ended it; -1 when it had not ended within `ms`.
  int Wait(int ms);

 private:
  pid_t m_pid = -1;
};

// Waits up to `ms` for `ready` to hold; returns whether it did.
bool WaitUntil(int ms, const std::function<bool()>& ready);

}  // namespace toravin::test
