// The binary interface between the program and its two archiver plug-ins: the exported entry
// point names, their C signatures and the result codes. The bridge resolves the names with
// dlsym at every call and the plug-ins export exactly these; keeping both sides on one header
// means a change of a signature cannot slip through unnoticed.
#pragma once

#include <cstdint>

namespace toravin::abi {

// An archive handle as the LHA plug-in hands it out; 0 means none.
using ArcHandle = std::uintptr_t;

// Entry points of the LHA plug-in. `window` is the application's main window handle (opaque).
using LhaPackGetRunningFn = int (*)();
using LhaPackOpenArchiveFn = ArcHandle (*)(void* window, const char* archive, std::uint32_t mode);
using LhaPackFindFirstFn = int (*)(ArcHandle archive, const char* name, void* info);
using LhaPackCloseArchiveFn = int (*)(ArcHandle archive);
using LhaPackCompressMemFn = int (*)(void* window, const char* commandLine, const void* data,
                                     std::uint32_t size, void* reserved1, void* reserved2,
                                     void* reserved3);

// Entry points of the gzip plug-in.
using GzDecGetRunningFn = int (*)();
using GzDecFn = int (*)(void* window, const char* commandLine, char* output,
                        std::uint32_t outputSize);
// Sets the decoder's output limit in bytes (0 restores the default); returns the old limit.
using GzDecSetOutputLimitFn = std::uint64_t (*)(std::uint64_t limit);
// Sets where a decoded page is cut, in bytes (0: never): the decode stops there and succeeds with
// the page's first bytes, as a page received over the wire is read up to its bound. Returns the
// old value.
using GzDecSetOutputCutFn = std::uint64_t (*)(std::uint64_t bytes);

inline constexpr const char kLhaPackGetRunning[] = "LhaPackGetRunning";
inline constexpr const char kLhaPackOpenArchive[] = "LhaPackOpenArchive";
inline constexpr const char kLhaPackFindFirst[] = "LhaPackFindFirst";
inline constexpr const char kLhaPackCloseArchive[] = "LhaPackCloseArchive";
inline constexpr const char kLhaPackCompressMem[] = "LhaPackCompressMem";
inline constexpr const char kGzDecGetRunning[] = "GzDecGetRunning";
inline constexpr const char kGzDec[] = "GzDec";
inline constexpr const char kGzDecSetOutputLimit[] = "GzDecSetOutputLimit";
inline constexpr const char kGzDecSetOutputCut[] = "GzDecSetOutputCut";

// The mode the program passes when it opens an archive to look for an entry. The plug-in only
// reads archives through a handle, so it accepts any mode.
inline constexpr std::uint32_t kOpenArchiveMode = 0x08402202;

// Result codes of the plug-ins. 0 is success; FindFirst answers kNotFound for a missing entry.
// The bridge answers -1 itself when a library or entry point is missing.
enum ArcResult : int {
  kArcOk = 0,
  kArcNotFound = -1,          // FindFirst: the archive holds no such entry
  kArcCommandLine = 0x8001,   // the command line is malformed or names an unknown switch
  kArcCannotOpen = 0x8002,    // an input file or the archive cannot be opened
  kArcCannotCreate = 0x8003,  // an output file or the archive cannot be created
  kArcWrite = 0x8004,         // writing failed (disk full, I/O error); nothing was left behind
  kArcDamaged = 0x8005,       // the archive's headers are damaged; it was not changed
  kArcCorrupt = 0x8006,       // compressed input is corrupt
  kArcTruncated = 0x8007,     // compressed input ends early
  kArcTooLarge = 0x8008,      // output would exceed the decoder's limit, or input exceeds 4 GiB
  kArcBadHandle = 0x8009,     // the archive handle is not open
  kArcBusy = 0x800A,          // the plug-in was entered while it was running
};

}  // namespace toravin::abi
