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
  m_order.push_back({transfer.get(), tag});
  m_kept.push_back(transfer.get());
  m_transfers[url] = std::move(transfer);
  ++m_started;
  m_busy = -1;
}

void TFetchAhead::Unlist(const TAheadTransfer* transfer) {
  std::erase_if(m_order, [transfer](const Slot& s) { return s.transfer == transfer; });
}

void TFetchAhead::DropUnwanted() {
  std::sort(m_kept.begin(), m_kept.end());
  for (auto it = m_transfers.begin(); it != m_transfers.end();) {
    if (!std::binary_search(m_kept.begin(), m_kept.end(), it->second.get())) {
      Unlist(it->second.get());
      it = m_transfers.erase(it);
      ++m_discarded;
      m_busy = -1;
    } else {
      ++it;
    }
  }
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
  for (const auto& [url, t] : m_transfers) held += static_cast<std::int64_t>(t->Held());
  return held;
}

void TFetchAhead::Poll() {
  std::int64_t room = m_maxHeld - Held();
  int busy = 0;
  for (const Slot& s : m_order) {
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
  std::erase(m_kept, transfer.get());
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
  m_kept.clear();
  m_busy = 0;
}

}  // namespace toravin
