// The timer of the socket client's time-outs: a monotonic deadline that the client's waiting loops
// check through Poll(), firing OnTimer on the calling (user-interface) thread. Like a window timer
// it repeats every Interval while enabled, and changing Enabled or Interval restarts it.
#pragma once

#include <cstdint>
#include <functional>

namespace toravin {

class TThreadTimer {
 public:
  using TTimerEvent = std::function<void(TThreadTimer&)>;

  bool Enabled() const { return m_enabled; }
  std::uint32_t Interval() const { return m_interval; }
  // Setting a different value restarts the timer (when it is then running); the same value does
  // nothing.
  void SetEnabled(bool enabled);
  void SetInterval(std::uint32_t ms);
  void SetOnTimer(TTimerEvent handler);

  // True while the timer counts: enabled, a non-zero interval and a handler.
  bool Running() const { return m_running; }

  // Fires OnTimer when the deadline has passed (and arms the next one). Returns whether it fired.
  bool Poll();

  // Milliseconds until the deadline (0 when due); -1 when not running.
  std::int64_t RemainingMs() const;

 private:
  void Restart();

  bool m_enabled = true;
  std::uint32_t m_interval = 1000;
  TTimerEvent m_onTimer;
  bool m_running = false;
  std::int64_t m_deadline = 0;
};

}  // namespace toravin
