// Faults of the file layer that tests switch on to see how the program meets a full disk, a
// failing write or a free-space query that fails. All are off unless a test sets them; the
// program itself never does. Not synchronised: set them while no other thread writes files.
#pragma once

#include <cstdint>

namespace toravin {

struct FileFaults {
  // The free-space query fails, as statvfs can.
  bool freeSpaceQueryFails = false;
  // Bytes the file layer's writes may still put on disk before each further write fails with
  // "no space left" (ENOSPC); negative: no limit.
  std::int64_t bytesUntilDiskFull = -1;
  // Every write fails with an I/O error (EIO) from the first byte on.
  bool writesFail = false;
};

// The faults in force for this process.
FileFaults& InjectedFileFaults();

}  // namespace toravin
