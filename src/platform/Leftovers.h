// What a process of ours leaves behind when it is killed: the temporary body files
// "~tv<pid>-<n>.tmp" in a save directory and the private folders "toravin-<pid>-XXXXXX" under
// $TMPDIR. Both carry the pid of their maker, so a later run can tell that the maker is gone and
// remove them. Only entries of exactly our naming pattern, of the right type, owned by this user
// and made by a process that no longer runs are removed; links are never followed.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// The name of a private folder made by this process: "toravin-<pid>-" before mkdtemp's letters.
std::string PrivateDirectoryPrefix();

// Removes dead processes' "~tv<pid>-<n>.tmp" files in `dir` (a core path). Returns how many.
int RemoveLeftoverBodyFiles(std::string_view dir);

// Removes dead processes' "toravin-<pid>-XXXXXX" folders (and the files in them) under $TMPDIR,
// else /tmp. Returns how many.
int RemoveLeftoverPrivateDirectories();

}  // namespace toravin
