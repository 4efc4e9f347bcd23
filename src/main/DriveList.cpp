// A mount point is offered when it could hold a save directory: a read-write, disk-like file
// system the user can write to. /proc, /sys, /dev and /run hold only the kernel's and the
// system's own files, apart from /run/media where desktops mount removable media.
#include "main/DriveList.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <sstream>

#include "platform/FileSystem.h"

namespace toravin {
namespace {

std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view oct = field.substr(i + 1, 3);
      if (oct.size() == 3 &&
          std::all_of(oct.begin(), oct.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>((oct[0] - '0') * 64 + (oct[1] - '0') * 8 + (oct[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

bool StartsWithDir(std::string_view path, std::string_view dir) {
  return path == dir ||
         (path.size() > dir.size() && path.substr(0, dir.size()) == dir && path[dir.size()] == '/');
}

bool Virtual(const std::string& type, const std::string& mountPoint) {
  static const std::array kTypes{"proc",      "sysfs",       "devtmpfs", "devpts", "cgroup",
                                 "cgroup2",   "securityfs",  "pstore",   "bpf",    "tracefs",
                                 "debugfs",   "configfs",    "fusectl",  "mqueue", "hugetlbfs",
                                 "autofs",    "binfmt_misc", "efivarfs", "nsfs",   "rpc_pipefs",
                                 "selinuxfs", "ramfs"};
  for (const char* t : kTypes) {
    if (type == t) return true;
  }
  if (StartsWithDir(mountPoint, "/run/media")) return false;
  for (const char* d : {"/proc", "/sys", "/dev", "/run", "/boot/efi"}) {
    if (StartsWithDir(mountPoint, d)) return true;
  }
  return false;
}

bool ReadWrite(const std::string& options) {
  std::stringstream in(options);
  std::string option;
  while (std::getline(in, option, ',')) {
    if (option == "rw") return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> WritableMounts(std::string_view table,
                                        const std::function<bool(const std::string&)>& writable) {
  std::vector<std::string> out;
  std::stringstream in{std::string(table)};
  std::string line;
  while (std::getline(in, line)) {
    std::stringstream fields(line);
    std::string device, mountPoint, type, options;
    if (!(fields >> device >> mountPoint >> type >> options)) continue;
    mountPoint = Unescape(mountPoint);
    if (!ReadWrite(options) || Virtual(type, mountPoint)) continue;
    if (std::find(out.begin(), out.end(), mountPoint) != out.end()) continue;
    if (writable && !writable(mountPoint)) continue;
    out.push_back(mountPoint);
  }
  return out;
}

std::vector<std::string> DriveList(const std::string& home) {
  std::vector<std::string> drives{"/"};
  if (!home.empty() && home != "/") drives.push_back(home);
  const std::optional<std::string> table = ReadWholeFile("/proc/self/mounts");
  if (!table) return drives;
  for (std::string& m : WritableMounts(
           *table, [](const std::string& p) { return ::access(p.c_str(), W_OK) == 0; })) {
    if (std::find(drives.begin(), drives.end(), m) == drives.end()) drives.push_back(m);
  }
  return drives;
}

std::string DriveOf(const std::vector<std::string>& drives, std::string_view path) {
  std::string best = "/";
  for (const std::string& d : drives) {
    if ((d == "/" || StartsWithDir(path, d)) && d.size() > best.size()) best = d;
  }
  return best;
}

}  // namespace toravin
