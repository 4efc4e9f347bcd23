#include "main/TempFileSupply.h"

#include <unistd.h>

#include <utility>

#include "main/BodyFile.h"
#include "platform/FileSystem.h"

namespace toravin {

TTempFileSupply::TTempFileSupply(std::string dir, std::size_t ready)
    : m_dir(std::move(dir)), m_ready(ready), m_thread([this] { Run(); }) {}

TTempFileSupply::~TTempFileSupply() {
  {
    std::lock_guard<std::mutex> l(m_lock);
    m_stop = true;
  }
  m_wake.notify_one();
  m_thread.join();
  for (const File& f : m_files) ::close(f.fd);
}

TTempFileSupply::File TTempFileSupply::Take(std::string_view dir) {
  std::lock_guard<std::mutex> l(m_lock);
  if (dir != m_dir || m_files.empty()) return {};
  File f = m_files.front();
  m_files.pop_front();
  // The maker refills from half way down: one wake for several files.
  if (m_files.size() == m_ready / 2) m_wake.notify_one();
  return f;
}

void TTempFileSupply::Run() {
  // One file made and named, and its name removed: files made here can be saved.
  {
    const int probe = TBodyFile::MakeAnonymous(m_dir);
    if (probe < 0) return;
    const TBodyFile::TempFile name = TBodyFile::MakeTemp(m_dir);
    bool named = false;
    if (name.fd >= 0) {
      ::close(name.fd);
      ::unlink(NativePath(name.path).c_str());
      named = TBodyFile::GiveName(probe, name.path) == 0;
      if (named) ::unlink(NativePath(name.path).c_str());
    }
    ::close(probe);
    if (!named) return;
  }
  for (;;) {
    {
      std::unique_lock<std::mutex> l(m_lock);
      if (m_files.size() >= m_ready) {
        m_wake.wait(l, [this] { return m_stop || m_files.size() <= m_ready / 2; });
      }
      if (m_stop) return;
    }
    const int fd = TBodyFile::MakeAnonymous(m_dir);
    if (fd < 0) return;  // the run makes its own, and meets the failure itself
    std::lock_guard<std::mutex> l(m_lock);
    m_files.push_back({fd});
  }
}

}  // namespace toravin
