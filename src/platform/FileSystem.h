// File functions of the platform layer. The core builds paths the Windows way, in CP932 with
// "\" separators; every function here maps "\" to "/" and CP932 to UTF-8 before calling POSIX,
// and hands paths back in CP932.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace toravin {

// The POSIX path for a core path: "\" -> "/", CP932 -> UTF-8.
std::string NativePath(std::string_view path);

bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);

// Creates the directory and every missing parent. Returns whether the directory exists after.
// Throws std::invalid_argument for an empty path.
bool ForceDirectories(std::string_view path);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(std::string_view path);
// The file's first `maxBytes` bytes (all of a shorter file), or nothing as ReadWholeFile.
std::optional<std::string> ReadFileUpTo(std::string_view path, std::uint64_t maxBytes);

// Creates (or truncates) the file and writes `data`. Returns false when any step fails.
bool WriteWholeFile(std::string_view path, std::string_view data);

// Writes `data` to a temporary file in the same directory, flushes it to the disk and renames it
// over `path`, so that a crash or a full disk mid-write leaves the old file whole. Returns false
// (and removes the temporary file) when any step fails.
bool WriteFileReplacing(std::string_view path, std::string_view data);

// Creates `path` only when no file of that name exists, and writes `data`. A file that could
// not be written whole is removed again; DiskFull when that was for want of space, NameRefused
// when the file system does not take the name (too long, or bytes it cannot hold).
enum class NewFileResult { Written, Exists, Failed, DiskFull, NameRefused };

// The file system refused a name: the errno of a create or rename says so.
bool IsNameRefusal(int error);
NewFileResult WriteNewFile(std::string_view path, std::string_view data);

bool DeleteFileAt(std::string_view path);

// write(2) on an open descriptor, or the fault a test injected in its place (see FileFaults.h);
// every file write of the program goes through here.
ssize_t WriteSome(int fd, const char* data, size_t size);

// A new directory that only this user may enter, under the system's temporary folder ($TMPDIR,
// else /tmp), made for one piece of work and named "toravin-<pid>-XXXXXX" (see Leftovers.h);
// empty when it cannot be made.
std::string MakePrivateDirectory();

// Removes the files directly inside `path` (never following a link out of it), then the
// directory itself. Returns whether the directory is gone.
bool RemovePrivateDirectory(std::string_view path);

// Free bytes for an unprivileged user on the file system of the current directory; nothing when
// the query fails (the free space is then unknown, not zero).
std::optional<std::uint64_t> FreeSpaceOfCurrentDrive();

// The process's current directory (CP932).
std::string CurrentDirectory();

// The directory holding the running executable (CP932), without a trailing separator.
std::string ExecutableDirectory();

}  // namespace toravin
