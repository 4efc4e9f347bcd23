#include "net/SendBehind.h"

#include <system_error>
#include <utility>

#include "net/SocketErrors.h"

namespace toravin {

std::shared_ptr<TSendBehind> TSendBehind::Make() {
  try {
    return std::make_shared<TSendBehind>();
  } catch (const std::system_error&) {
    return nullptr;  // the transfers send for themselves
  }
}

TSendBehind::TSendBehind() : m_thread([this] { Run(); }) {}

TSendBehind::~TSendBehind() {
  {
    std::lock_guard<std::mutex> l(m_lock);
    m_stop = true;
  }
  m_wake.notify_one();
  m_thread.join();
}

std::shared_ptr<TSendBehind::Job> TSendBehind::Queue(TByteStream& stream, const char* data,
                                                     std::size_t size) {
  auto job = std::make_shared<Job>();
  job->m_stream = &stream;
  job->m_data = data;
  job->m_size = size;
  std::lock_guard<std::mutex> l(m_lock);
  m_queue.push_back(job);
  return job;
}

void TSendBehind::Wake() {
  bool wake = false;
  {
    std::lock_guard<std::mutex> l(m_lock);
    wake = m_asleep && !m_queue.empty();
    if (wake) m_asleep = false;
  }
  if (wake) m_wake.notify_one();
}

std::int64_t TSendBehind::Withdraw(Job& job) {
  std::unique_lock<std::mutex> l(m_lock);
  int state = Job::kQueued;
  if (job.m_state.compare_exchange_strong(state, Job::kDone, std::memory_order_acq_rel)) {
    job.m_result = 0;  // dropped before it began: nothing sent
    return 0;
  }
  ++m_waiting;
  m_over.wait(l, [&job] { return job.m_state.load(std::memory_order_acquire) == Job::kDone; });
  --m_waiting;
  return job.m_result;
}

void TSendBehind::Run() {
  std::unique_lock<std::mutex> l(m_lock);
  for (;;) {
    if (m_queue.empty() && !m_stop) {
      m_asleep = true;
      m_wake.wait(l, [this] { return m_stop || !m_asleep; });
      m_asleep = false;
    }
    if (m_stop) return;
    std::vector<std::shared_ptr<Job>> batch;
    batch.swap(m_queue);
    for (const std::shared_ptr<Job>& job : batch) {
      int state = Job::kQueued;
      // A job withdrawn before its turn is over already.
      if (!job->m_state.compare_exchange_strong(state, Job::kSending, std::memory_order_acq_rel)) {
        continue;
      }
      l.unlock();
      std::int64_t sent = 0;
      std::int64_t code = 0;
      while (static_cast<std::size_t>(sent) < job->m_size) {
        const std::int64_t n =
            job->m_stream->Send(job->m_data + sent, job->m_size - static_cast<std::size_t>(sent));
        if (n <= 0) {
          code = n;
          break;
        }
        sent += n;
      }
      // Bytes sent count; a failure is reported only when nothing went, and the caller meets a
      // failure after some bytes at its own next send.
      job->m_result = sent > 0 || code == -kWsaWouldBlock ? sent : code;
      l.lock();
      job->m_state.store(Job::kDone, std::memory_order_release);
      if (m_waiting > 0) m_over.notify_all();
    }
  }
}

}  // namespace toravin
