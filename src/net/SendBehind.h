// TSendBehind: a thread that sends the requests of transfers fetched ahead, so that the thread
// that polls them goes on meanwhile. On a link inside the machine a send also does the receiving
// side's work (the peer's TCP processing and its wake-up), which is most of what a small request
// costs; here it runs beside the crawl. A transfer queues its bytes and leaves its connection
// alone until the send is over or withdrawn; the stream must allow Send from another thread
// (TByteStream::SendsFromAnyThread).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "net/ByteStream.h"

namespace toravin {

class TSendBehind {
 public:
  // One queued send. Its bytes stay the caller's, unchanged, until it is over or withdrawn.
  class Job {
   public:
    // The bytes sent (all of them, or fewer when the connection would block) or the negated
    // code of a send that sent nothing; none while the send is queued or under way.
    std::optional<std::int64_t> Result() const {
      if (m_state.load(std::memory_order_acquire) != kDone) return std::nullopt;
      return m_result;
    }

   private:
    friend class TSendBehind;
    enum : int { kQueued, kSending, kDone };
    TByteStream* m_stream = nullptr;
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    std::int64_t m_result = 0;
    std::atomic<int> m_state{kQueued};
  };

  // A sender with its thread running; null when no thread can be started.
  static std::shared_ptr<TSendBehind> Make();
  TSendBehind();
  ~TSendBehind();
  TSendBehind(const TSendBehind&) = delete;
  TSendBehind& operator=(const TSendBehind&) = delete;

  // Queues a send of `size` bytes at `data` on `stream`: a thread at work takes it up, a
  // sleeping one once Wake is called.
  std::shared_ptr<Job> Queue(TByteStream& stream, const char* data, std::size_t size);
  // Lets the thread send what was queued: one wake-up for all the sends of a pass.
  void Wake();
  // Ends `job`: a send not started is dropped, one under way is waited for. Returns what the job
  // sent (0 when dropped) or the negated code. The stream is the caller's alone afterwards.
  std::int64_t Withdraw(Job& job);

 private:
  void Run();

  std::mutex m_lock;
  std::condition_variable m_wake;  // the thread: work, or the end
  std::condition_variable m_over;  // a withdrawing caller: a send under way is over
  std::vector<std::shared_ptr<Job>> m_queue;
  bool m_asleep = false;
  int m_waiting = 0;  // callers waiting on m_over
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace toravin
