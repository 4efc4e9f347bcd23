#include "main/FetchAhead.h"

#include <algorithm>

namespace toravin {

void TFetchAhead::Start(const std::string& url, std::unique_ptr<TAheadTransfer> transfer,
                        void* tag) {
  if (Has(url)) return;
  if (!m_senderTried) {
    m_senderTried = true;
    m_sender = TSendBehind::Make();
  }
  if (m_sender) transfer->SendFrom(m_sender);
  TAheadTransfer* started = transfer.get();
  const auto [at, added] = m_transfers.emplace(url, std::move(transfer));
  m_order.push_back({started, tag, &at->first, m_choice});
  ++m_started;
  m_busy = -1;
}

void TFetchAhead::Unlist(const TAheadTransfer* transfer) {
  std::erase_if(m_order, [transfer](const Slot& s) { return s.transfer == transfer; });
}

void TFetchAhead::Keep(const TAheadTransfer* transfer) {
  // A choice keeps them in about the order they were started: the search goes on from the last
  // one found.
  const std::size_t n = m_order.size();
  for (std::size_t i = 0; i < n; ++i) {
    Slot& slot = m_order[(m_keepAt + i) % n];
    if (slot.transfer == transfer) {
      slot.keptIn = m_choice;
      m_keepAt = (m_keepAt + i + 1) % n;
      return;
    }
  }
}

void TFetchAhead::DropUnwanted() {
  std::erase_if(m_order, [this](const Slot& slot) {
    if (slot.keptIn == m_choice) return false;
    m_transfers.erase(std::string(*slot.url));  // a copy: the key goes with the node
    ++m_discarded;
    m_busy = -1;
    return true;
  });
}

int TFetchAhead::BusyCount() const {
  if (m_busy < 0) {
    m_busy = 0;
    for (const Slot& s : m_order) m_busy += s.transfer->Busy() ? 1 : 0;
  }
  return m_busy;
}

std::int64_t TFetchAhead::Held() const {
  std::int64_t held = 0;
  for (const Slot& s : m_order) held += static_cast<std::int64_t>(s.transfer->Held());
  return held;
}

void TFetchAhead::Poll() {
  std::int64_t room = m_maxHeld - Held();
  int busy = 0;
  for (const Slot& s : m_order) {
    if (!s.transfer->Busy()) continue;  // its reply is here whole, or it failed: nothing to do
    room -= s.transfer->Poll(std::max<std::int64_t>(room, 0));
    busy += s.transfer->Busy() ? 1 : 0;
  }
  if (m_sender) m_sender->Wake();
  m_busy = busy;
}

bool TFetchAhead::WaitFds(std::vector<pollfd>& fds) const {
  const bool mayReceive = Held() < m_maxHeld;
  bool covered = true;
  for (const Slot& s : m_order) {
    covered = s.transfer->AddWaitFd(fds, mayReceive) && covered;
  }
  return covered;
}

std::unique_ptr<TByteStream> TFetchAhead::Take(const std::string& url,
                                               const std::string& identity) {
  auto it = m_transfers.find(url);
  if (it == m_transfers.end()) return nullptr;
  std::unique_ptr<TAheadTransfer> transfer = std::move(it->second);
  m_transfers.erase(it);
  Unlist(transfer.get());
  m_busy = -1;
  std::unique_ptr<TByteStream> stream =
      transfer->Identity() == identity ? transfer->HandOver() : nullptr;
  if (!stream) ++m_discarded;
  return stream;
}

void TFetchAhead::Clear() {
  m_discarded += static_cast<int>(m_transfers.size());
  m_transfers.clear();
  m_order.clear();
  m_busy = 0;
}

}  // namespace toravin
