// Deadline arithmetic on TickCountMs, which is monotonic, so a change of the wall clock never fires
// or stalls a time-out.
#include "net/ThreadTimer.h"

#include <algorithm>
#include <utility>

#include "platform/Clock.h"

namespace toravin {

void TThreadTimer::SetEnabled(bool enabled) {
  if (enabled == m_enabled) return;
  m_enabled = enabled;
  Restart();
}

void TThreadTimer::SetInterval(std::uint32_t ms) {
  if (ms == m_interval) return;
  m_interval = ms;
  Restart();
}

void TThreadTimer::SetOnTimer(TTimerEvent handler) {
  m_onTimer = std::move(handler);
  Restart();
}

void TThreadTimer::Restart() {
  m_running = m_enabled && m_interval != 0 && static_cast<bool>(m_onTimer);
  if (m_running) m_deadline = TickCountMs() + m_interval;
}

bool TThreadTimer::Poll() {
  if (!m_running || TickCountMs() < m_deadline) return false;
  m_deadline = TickCountMs() + m_interval;
  // The handler may switch the timer off or destroy its owner's state; copy it first.
  TTimerEvent handler = m_onTimer;
  handler(*this);
  return true;
}

std::int64_t TThreadTimer::RemainingMs() const {
  if (!m_running) return -1;
  return std::max<std::int64_t>(0, m_deadline - TickCountMs());
}

}  // namespace toravin
