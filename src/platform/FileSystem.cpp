// POSIX implementation of the file functions. Paths arrive in the core's form and are mapped
// once per call by NativePath.
#include "platform/FileSystem.h"

#include "platform/Leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/FileFaults.h"

namespace toravin {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  bool Close() {
    int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
  }

 private:
  int m_fd;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = WriteSome(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

std::string NativePath(std::string_view path) {
  std::string p(path);
  for (size_t i = 0; i < p.size(); ++i) {
    if (IsLeadByte(p[i])) {
      ++i;  // a trail byte 0x5C is part of a character, not a separator
      continue;
    }
    if (p[i] == '\\') p[i] = '/';
  }
  return Cp932ToUtf8(p);
}

bool FileExists(std::string_view path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  if (path.empty()) return false;
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(std::string_view path) {
  if (path.empty()) throw std::invalid_argument(Sjis("名前が空のフォルダーは作成できません。"));
  std::string native = NativePath(path);
  for (size_t i = 1; i <= native.size(); ++i) {
    if (i == native.size() || native[i] == '/') {
      std::string part = native.substr(0, i);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
        // Go on: a later component may still succeed where this one already existed as a link.
      }
    }
  }
  return DirectoryExists(path);
}

std::optional<std::string> ReadWholeFile(std::string_view path) {
  return ReadFileUpTo(path, UINT64_MAX);
}

std::optional<std::string> ReadFileUpTo(std::string_view path, std::uint64_t maxBytes) {
  Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st;
  std::string data;
  if (::fstat(fd.get(), &st) == 0 && st.st_size > 0) {
    data.reserve(static_cast<size_t>(std::min<std::uint64_t>(st.st_size, maxBytes)));
  }
  char buf[65536];
  while (data.size() < maxBytes) {
    const size_t want =
        static_cast<size_t>(std::min<std::uint64_t>(sizeof buf, maxBytes - data.size()));
    ssize_t n = ::read(fd.get(), buf, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  return data;
}

bool WriteWholeFile(std::string_view path, std::string_view data) {
  Fd fd(::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.get() < 0) return false;
  if (!WriteAll(fd.get(), data)) return false;
  return fd.Close();
}

// Removes the "<target>.tmp<pid>" files of processes that no longer run (killed between writing
// and renaming), so that such leftovers do not pile up beside the file.
void RemoveStaleTemporaries(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string dir =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string prefix =
      (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  while (const dirent* e = ::readdir(d)) {
    std::string_view name = e->d_name;
    if (!name.starts_with(prefix)) continue;
    std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      continue;
    }
    const pid_t pid = static_cast<pid_t>(std::stol(std::string(digits)));
    if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) {
      ::unlinkat(::dirfd(d), e->d_name, 0);
    }
  }
  ::closedir(d);
}

bool WriteFileReplacing(std::string_view path, std::string_view data) {
  std::string target = NativePath(path);
  RemoveStaleTemporaries(target);
  std::string temp = target + ".tmp" + std::to_string(::getpid());
  {
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0) return false;
    if (!WriteAll(fd.get(), data) || ::fsync(fd.get()) != 0 || !fd.Close()) {
      ::unlink(temp.c_str());
      return false;
    }
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

NewFileResult WriteNewFile(std::string_view path, std::string_view data) {
  std::string native = NativePath(path);
  Fd fd(::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.get() < 0) {
    if (errno == EEXIST) return NewFileResult::Exists;
    if (IsNameRefusal(errno)) return NewFileResult::NameRefused;
    return errno == ENOSPC || errno == EDQUOT ? NewFileResult::DiskFull : NewFileResult::Failed;
  }
  if (!WriteAll(fd.get(), data) || !fd.Close()) {
    const bool full = errno == ENOSPC || errno == EDQUOT;
    ::unlink(native.c_str());
    return full ? NewFileResult::DiskFull : NewFileResult::Failed;
  }
  return NewFileResult::Written;
}

bool IsNameRefusal(int error) {
  return error == ENAMETOOLONG || error == EILSEQ || error == EINVAL;
}

bool DeleteFileAt(std::string_view path) { return ::unlink(NativePath(path).c_str()) == 0; }

std::string MakePrivateDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
                        PrivateDirectoryPrefix() + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) return std::string();  // made with mode 0700
  return Utf8ToCp932(buf.data());
}

bool RemovePrivateDirectory(std::string_view path) {
  const std::string native = NativePath(path);
  if (DIR* d = ::opendir(native.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") ::unlinkat(::dirfd(d), name.c_str(), 0);
    }
    ::closedir(d);
  }
  return ::rmdir(native.c_str()) == 0;
}

FileFaults& InjectedFileFaults() {
  static FileFaults faults;
  return faults;
}

std::optional<std::uint64_t> FreeSpaceOfCurrentDrive() {
  struct statvfs sv;
  if (InjectedFileFaults().freeSpaceQueryFails || ::statvfs(".", &sv) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(sv.f_bavail) * sv.f_frsize;
}

std::string CurrentDirectory() {
  char buf[PATH_MAX];
  if (::getcwd(buf, sizeof buf) == nullptr) return std::string();
  return Utf8ToCp932(buf);
}

std::string ExecutableDirectory() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  std::string exe(buf, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return Utf8ToCp932(slash == std::string::npos ? std::string(".") : exe.substr(0, slash));
}

ssize_t WriteSome(int fd, const char* data, size_t size) {
  FileFaults& faults = InjectedFileFaults();
  if (faults.writesFail) {
    errno = EIO;
    return -1;
  }
  if (faults.bytesUntilDiskFull >= 0) {
    if (faults.bytesUntilDiskFull == 0) {
      errno = ENOSPC;
      return -1;
    }
    size = std::min(size, static_cast<size_t>(faults.bytesUntilDiskFull));
  }
  ssize_t n = ::write(fd, data, size);
  if (n > 0 && faults.bytesUntilDiskFull >= 0) faults.bytesUntilDiskFull -= n;
  return n;
}

}  // namespace toravin
