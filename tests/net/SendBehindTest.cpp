// Sends left to the sender's thread: what a job reports sent is exactly what reached the peer,
// once, whether it went out, was withdrawn before its turn, met a full connection or a broken
// one; and a job waited for never leaves the stream to the thread afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "net/SendBehind.h"
#include "net/SocketErrors.h"

namespace toravin {
namespace {

// A connection that takes `room` bytes, then would block (or fails at once with `failure`).
class PeerStream : public TByteStream {
 public:
  PeerStream(std::size_t room, int failure) : m_room(room), m_failure(failure) {}
  bool IsOpen() const override { return true; }
  int Connect(std::uint32_t, std::uint16_t) override { return 0; }
  int PollConnect(int) override { return 0; }
  std::int64_t Receive(char*, std::size_t, bool) override { return -kWsaWouldBlock; }
  std::int64_t Send(const char* buffer, std::size_t size) override {
    EXPECT_FALSE(m_inSend.exchange(true));
    std::int64_t n = -m_failure;
    if (m_failure == 0) {
      n = static_cast<std::int64_t>(std::min(size, m_room - got.size()));
      got.append(buffer, static_cast<std::size_t>(n));
      if (n == 0) n = -kWsaWouldBlock;
    }
    m_inSend = false;
    return n;
  }
  bool WaitReadable(int) override { return false; }
  bool WaitWritable(int) override { return true; }
  bool SendsFromAnyThread() const override { return true; }
  void Close() override {}
  std::string got;

 private:
  std::size_t m_room;
  int m_failure;
  std::atomic<bool> m_inSend{false};
};

TEST(SendBehind, WhatAJobReportsIsWhatThePeerGot) {
  const std::string request = "GET /a.jpg HTTP/1.1\r\nHost: h\r\n\r\n";
  struct Case {
    std::size_t room;
    int failure;
    bool withdraw;        // withdrawn at once: dropped, or waited for when the thread has it
    std::int64_t result;  // when not withdrawn
  } cases[] = {
      {1000, 0, false, static_cast<std::int64_t>(request.size())},
      {10, 0, false, 10},
      {0, 0, false, 0},
      {1000, kWsaConnReset, false, -kWsaConnReset},
      {1000, 0, true, 0},
  };
  std::shared_ptr<TSendBehind> sender = TSendBehind::Make();
  ASSERT_NE(sender, nullptr);
  for (const Case& c : cases) {
    // Many rounds: a withdrawal meets the job queued, under way or over.
    for (int round = 0; round < 200; ++round) {
      SCOPED_TRACE(::testing::Message() << c.room << " " << c.failure << " " << round);
      PeerStream stream(c.room, c.failure);
      auto job = sender->Queue(stream, request.data(), request.size());
      sender->Wake();
      std::int64_t sent = 0;
      if (c.withdraw) {
        sent = sender->Withdraw(*job);
      } else {
        while (!job->Result()) std::this_thread::yield();
        sent = *job->Result();
        EXPECT_EQ(sent, c.result);
        EXPECT_EQ(sender->Withdraw(*job), sent);
      }
      EXPECT_EQ(stream.got,
                request.substr(0, static_cast<std::size_t>(std::max<std::int64_t>(sent, 0))));
    }
  }
}

}  // namespace
}  // namespace toravin
