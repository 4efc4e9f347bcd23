// TTempFileSupply: body files made ahead of need, on a thread of its own, in the save directory of
// a run. Creating a file can take a millisecond or more on a busy file system; the run takes one
// that is ready instead, so its own thread goes on with the transfers meanwhile. The files have no
// name until they are saved (O_TMPFILE): making one never holds the directory the run renames
// and links in, and one the run never names is gone with its descriptor, even after a kill.
// Where the file system cannot make such files, or a name cannot be given to one, the supply makes
// none and the run makes its own temporary files as always.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace toravin {

class TTempFileSupply {
 public:
  struct File {
    int fd = -1;  // a file without a name, open for reading and writing; -1: none
  };

  // Keeps up to `ready` files made in `dir` (a core path). The maker is woken once for every
  // half of them taken: a wake costs the run a system call.
  explicit TTempFileSupply(std::string dir, std::size_t ready = 32);
  ~TTempFileSupply();
  TTempFileSupply(const TTempFileSupply&) = delete;
  TTempFileSupply& operator=(const TTempFileSupply&) = delete;

  // A file made in `dir`, or none (fd -1) when none is ready or `dir` is another directory.
  File Take(std::string_view dir);

 private:
  void Run();

  const std::string m_dir;
  const std::size_t m_ready;
  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<File> m_files;
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace toravin
