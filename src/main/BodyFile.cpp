// The temporary file is named "~tv<pid>-<n>.tmp" and created with O_EXCL, so it never takes over
// a file that is there; the final name is taken with a rename that refuses to replace (or, where
// the file system cannot do that, a hard link), so a saved file is never overwritten. A file
// without a name gets its final name by a hard link, which never replaces a file either.
#include "main/BodyFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "main/FileKinds.h"
#include "platform/FileSystem.h"

namespace toravin {
namespace {

std::atomic<int> g_tempCounter{0};

// Moves `from` to `to` unless `to` exists: 0, or the errno (EEXIST when the name is taken).
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

TBodyFile::TempFile TBodyFile::MakeTemp(std::string_view dir) {
  std::string base(dir);
  if (base.empty() || base.back() != '\\') base += '\\';
  const std::string prefix = base + "~tv" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = prefix + std::to_string(++g_tempCounter) + ".tmp";
    const int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return {std::move(path), fd, 0};
    if (errno != EEXIST) break;
  }
  return {{}, -1, errno};
}

int TBodyFile::MakeAnonymous(std::string_view dir) {
  return ::open(NativePath(dir.empty() ? std::string_view(".") : dir).c_str(),
                O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
}

int TBodyFile::GiveName(int fd, const std::string& path) {
  const std::string native = NativePath(path);
  // Straight from the descriptor where the system allows it, else through its /proc entry.
  if (::linkat(fd, "", AT_FDCWD, native.c_str(), AT_EMPTY_PATH) == 0) return 0;
  if (errno != ENOENT && errno != EPERM) return errno;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, native.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  return errno;
}

TBodyFile::TBodyFile(std::string_view dir, bool keep, TTempFileSupply* supply) {
  if (!keep) {
    m_error = ENOSPC;
    return;
  }
  if (supply) {
    const TTempFileSupply::File ready = supply->Take(dir);
    if (ready.fd >= 0) {
      m_fd = ready.fd;
      m_made = m_anonymous = true;
      return;
    }
  }
  TempFile made = MakeTemp(dir);
  m_fd = made.fd;
  m_made = m_fd >= 0;
  m_tempPath = std::move(made.path);
  m_error = made.error;
}

TBodyFile::~TBodyFile() { Remove(); }

bool TBodyFile::DiskFull() const { return m_error == ENOSPC || m_error == EDQUOT; }

bool TBodyFile::NameRefused() const { return IsNameRefusal(m_error); }

void TBodyFile::Remove() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (!m_tempPath.empty()) ::unlink(NativePath(m_tempPath).c_str());
  m_tempPath.clear();
}

void TBodyFile::Write(const char* bytes, std::size_t size) {
  if (m_copy && m_copy->size() < m_copyLimit) {
    m_copy->append(bytes, std::min(size, m_copyLimit - m_copy->size()));
  }
  if (!Ok()) return;
  while (size > 0) {
    ssize_t n = WriteSome(m_fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_error = n < 0 ? errno : ENOSPC;
      Remove();  // the space the part took is given back at once
      return;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
}

std::string TBodyFile::Commit(std::string_view path) {
  if (!Ok()) {
    Remove();
    return std::string();
  }
  if (m_anonymous) {
    const std::string named = TakeFirstFreeName(
        path, [this](const std::string& candidate) { return GiveName(m_fd, candidate); });
    // A close that fails may have lost written bytes: the file named a moment ago goes again.
    if (!named.empty() && ::close(std::exchange(m_fd, -1)) != 0) {
      m_error = errno;
      ::unlink(NativePath(named).c_str());
      return std::string();
    }
    return named;
  }
  if (::close(std::exchange(m_fd, -1)) != 0) {
    m_error = errno;
    Remove();
    return std::string();
  }
  const std::string from = NativePath(m_tempPath);
  const std::string named = TakeFirstFreeName(path, [&from](const std::string& candidate) {
    return MoveWithoutReplacing(from, NativePath(candidate));
  });
  if (!named.empty()) m_tempPath.clear();
  return named;
}

std::string TBodyFile::TakeFirstFreeName(std::string_view path,
                                         const std::function<int(const std::string&)>& take) {
  std::string candidate(path);
  for (int n = 1;; ++n) {
    const int error = take(candidate);
    if (error == 0) return candidate;
    if (error != EEXIST) {
      m_error = error;
      Remove();
      return std::string();
    }
    candidate = NumberedName(path, n);
  }
}

}  // namespace toravin
