#include "platform/Leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin {
namespace {

constexpr std::string_view kBodyPrefix = "~tv";
constexpr std::string_view kBodySuffix = ".tmp";
constexpr std::string_view kFolderPrefix = "toravin-";
constexpr std::size_t kTemplateLetters = 6;  // mkdtemp's "XXXXXX"

bool AllDigits(std::string_view s) {
  return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The pid at the start of `s` up to `end`, when that is all digits.
std::optional<pid_t> PidBefore(std::string_view s, char end, std::string_view& rest) {
  const std::size_t cut = s.find(end);
  if (cut == std::string_view::npos || !AllDigits(s.substr(0, cut))) return std::nullopt;
  rest = s.substr(cut + 1);
  return static_cast<pid_t>(std::strtol(std::string(s.substr(0, cut)).c_str(), nullptr, 10));
}

bool MakerIsGone(pid_t pid) {
  return pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// The pid in "~tv<pid>-<n>.tmp", or nothing for any other name.
std::optional<pid_t> BodyFileMaker(std::string_view name) {
  if (!name.starts_with(kBodyPrefix) || !name.ends_with(kBodySuffix)) return std::nullopt;
  std::string_view middle =
      name.substr(kBodyPrefix.size(), name.size() - kBodyPrefix.size() - kBodySuffix.size());
  std::string_view counter;
  std::optional<pid_t> pid = PidBefore(middle, '-', counter);
  if (!pid || !AllDigits(counter)) return std::nullopt;
  return pid;
}

// The pid in "toravin-<pid>-XXXXXX", or nothing for any other name.
std::optional<pid_t> FolderMaker(std::string_view name) {
  if (!name.starts_with(kFolderPrefix)) return std::nullopt;
  std::string_view letters;
  std::optional<pid_t> pid = PidBefore(name.substr(kFolderPrefix.size()), '-', letters);
  if (!pid || letters.size() != kTemplateLetters) return std::nullopt;
  return pid;
}

bool Ours(const struct stat& st) { return st.st_uid == ::getuid(); }

}  // namespace

std::string PrivateDirectoryPrefix() {
  return std::string(kFolderPrefix) + std::to_string(::getpid()) + "-";
}

int RemoveLeftoverBodyFiles(std::string_view dir) {
  DIR* d = ::opendir(NativePath(dir).c_str());
  if (d == nullptr) return 0;
  int removed = 0;
  while (const dirent* e = ::readdir(d)) {
    std::optional<pid_t> pid = BodyFileMaker(e->d_name);
    if (!pid || !MakerIsGone(*pid)) continue;
    struct stat st;
    if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || !Ours(st)) continue;
    if (::unlinkat(::dirfd(d), e->d_name, 0) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

int RemoveLeftoverPrivateDirectories() {
  const char* env = std::getenv("TMPDIR");
  const std::string base = env != nullptr && *env != '\0' ? env : "/tmp";
  DIR* d = ::opendir(base.c_str());
  if (d == nullptr) return 0;
  int removed = 0;
  while (const dirent* e = ::readdir(d)) {
    std::optional<pid_t> pid = FolderMaker(e->d_name);
    if (!pid || !MakerIsGone(*pid)) continue;
    struct stat st;
    if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISDIR(st.st_mode) || !Ours(st)) continue;
    // The folder holds only the plain files the decoder wrote; RemovePrivateDirectory unlinks
    // them without following any link.
    if (RemovePrivateDirectory(Utf8ToCp932(base + "/" + e->d_name))) ++removed;
  }
  ::closedir(d);
  return removed;
}

}  // namespace toravin
