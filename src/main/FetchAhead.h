// TFetchAhead: the transfers the crawl run has started ahead of their turn, by work-list URL. It
// bounds them (a number of connections, and the reply bytes held in memory across all of them),
// advances them from the run's waits, and gives an entry's transfer to the client when the
// entry's turn comes. Entries that are no longer wanted are dropped at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/AheadTransfer.h"

namespace toravin {

class TFetchAhead {
 public:
  // Reply bytes held ahead across all transfers; a reply that would pass it waits for its turn
  // (its connection is not read until then).
  static constexpr std::int64_t kMaxHeldBytes = std::int64_t{64} << 20;

  explicit TFetchAhead(std::int64_t maxHeld = kMaxHeldBytes) : m_maxHeld(maxHeld) {}

  bool Has(const std::string& url) const { return m_transfers.count(url) > 0; }
  int BusyCount() const;
  int Count() const { return static_cast<int>(m_transfers.size()); }
  // `tag` is the caller's own mark for the transfer, given back by ForEach.
  void Start(const std::string& url, std::unique_ptr<TAheadTransfer> transfer, void* tag = nullptr);
  // Calls f(tag, transfer) for every transfer, in the order they were started.
  template <class F>
  void ForEach(F&& f) const {
    for (const Slot& s : m_order) f(s.tag, static_cast<const TAheadTransfer*>(s.transfer));
  }
  // A new choice of the transfers wanted: those marked by Keep until DropUnwanted stay, the
  // others are dropped then.
  void BeginChoice() {
    ++m_choice;
    m_keepAt = 0;
  }
  void Keep(const TAheadTransfer* transfer);
  void DropUnwanted();
  // Advances every transfer, in the order they were started, within the byte bound.
  void Poll();
  // The stream for the exchange `identity` (TAheadTransfer::Identity) of `url`: the transfer's
  // when it matches and its request went out, else null. The transfer is gone either way.
  std::unique_ptr<TByteStream> Take(const std::string& url, const std::string& identity);
  // Adds the descriptors whose readiness would let Poll move a transfer on; true when they cover
  // every transfer.
  bool WaitFds(std::vector<pollfd>& fds) const;
  // Stops every transfer at once.
  void Clear();
  std::int64_t Held() const;
  // Transfers started so far, and those among them dropped before their turn or not taken over
  // at it (their work was wasted).
  int Started() const { return m_started; }
  int Discarded() const { return m_discarded; }

 private:
  void Unlist(const TAheadTransfer* transfer);
  std::unordered_map<std::string, std::unique_ptr<TAheadTransfer>> m_transfers;
  struct Slot {
    TAheadTransfer* transfer;
    void* tag;
    const std::string* url;    // its key in m_transfers
    std::uint64_t keptIn = 0;  // the last choice that kept it
  };
  std::vector<Slot> m_order;  // in the order they were started
  std::uint64_t m_choice = 0;
  std::size_t m_keepAt = 0;  // where the next Keep looks first
  std::int64_t m_maxHeld;
  std::shared_ptr<TSendBehind> m_sender;  // made with the first transfer; null: none could be
  int m_started = 0;
  int m_discarded = 0;
  bool m_senderTried = false;
  mutable int m_busy = 0;  // BusyCount as of the last change; -1 when to be counted again
};

}  // namespace toravin
