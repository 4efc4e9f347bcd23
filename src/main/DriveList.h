// The drive selector's entries on Linux: the root file system, the user's home, and every mounted
// file system the user may write to (removable media under /media or /run/media included),
// read from /proc/self/mounts. Kernel and virtual file systems are left out.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace toravin {

// Mount points of a mounts table ("device mountpoint type options ..." per line, with octal
// escapes such as "\040" for a blank), in the table's order, that are mounted read-write, are
// not a kernel or virtual file system, and pass `writable`.
std::vector<std::string> WritableMounts(std::string_view mountsTable,
                                        const std::function<bool(const std::string&)>& writable);

// "/", then `home`, then the writable mounts of /proc/self/mounts; no entry twice.
std::vector<std::string> DriveList(const std::string& home);

// The entry of `drives` that holds `path`: the longest entry that is a leading part of it.
std::string DriveOf(const std::vector<std::string>& drives, std::string_view path);

}  // namespace toravin
