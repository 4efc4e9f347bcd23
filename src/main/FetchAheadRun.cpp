// Fetch-ahead in the crawl run. While the client works on the entry in hand, the next entries of
// the work list that pass the file-name test are fetched over connections of their own, each
// with the very request the client would send at the entry's turn. At the turn the client takes
// the transfer over (when its request is still the same) and handles the reply through its usual
// events; the work list, the tests and everything the user is told stay in list order.
#include <algorithm>
#include <exception>
#include <utility>

#include "main/MainForm.h"
#include "main/TextUtil.h"
#include "main/UrlRules.h"
#include "net/Http2Stream.h"
#include "platform/Clock.h"

namespace toravin {
namespace {

// Entries looked at past the one in hand when choosing what to fetch ahead.
constexpr int kAheadScan = 256;
// Entries fetched ahead at most, connections and whole replies together.
constexpr std::size_t kMaxAhead = 64;
// The transfers ahead are chosen again at least this often even when nothing they depend on has
// changed as far as the run can tell.
constexpr std::int64_t kReplanMs = 20;
// Streams of an HTTP/2 connection are opened this many at a time while the transfers ahead have
// that much work in hand: their requests leave together, in one record and one wake-up of the
// server, where a stream at a time costs both for every request. A stream is held back so for at
// most kHttp2HoldMs: over a slow link the streams free up one by one, far apart.
constexpr int kHttp2Batch = 8;
constexpr std::int64_t kHttp2HoldMs = 2;

// The host of an absolute URL, in lower case, without its port.
std::string HostOf(std::string_view url) {
  std::size_t start = url.find("://");
  start = start == std::string_view::npos ? 0 : start + 3;
  std::string_view host = url.substr(start, url.find_first_of("/?#", start) - start);
  host = host.substr(0, host.find(':'));
  return LowerCase(host);
}

}  // namespace

void TMainForm::SetParallelTransfers(int n) {
  m_runOptions.Parallel = std::clamp(n, 1, TRunOptions::kMaxParallel);
}

void TMainForm::SetRunOptions(const TRunOptions& options) {
  m_runOptions = options;
  if (options.Parallel != 0) SetParallelTransfers(options.Parallel);
  HttpClient1.Pool = options.Connection == ConnectionUse::Keep ? m_pool : nullptr;
}

void TMainForm::SetFetchAheadActive(bool active) {
  m_aheadActive = active;
  const bool ahead = active && ParallelTransfers() > 1;
  // Transfers ahead advance between the client's wait slices: shorter slices keep them moving.
  HttpClient1.WaitSliceMs = ahead ? 1 : TSockClient::kWaitSliceMs;
  // A wait of the run ends as soon as a transfer ahead can move: a reply that arrives whole frees
  // its connection for the next request at once, not at the end of the slice.
  if (ahead) {
    HttpClient1.OnWaitFds = [this](std::vector<pollfd>& fds) {
      return !Aborted && m_ahead.WaitFds(fds);
    };
  } else {
    HttpClient1.OnWaitFds = nullptr;
  }
  m_ahead.Clear();
  // Files made ahead and not taken are removed; a run makes its supply once it has saved a file.
  m_tempFiles.reset();
  m_aheadEntries.clear();
  m_aheadByUrl.clear();
  m_aheadLooked.clear();
  m_aheadServers.clear();
  m_aheadPlan = {};
  m_http2HoldSince = -1;
  m_freeSpace.Forget();
  // A run's kept connections end with it.
  if (!active) m_pool->Clear();
}

TMainForm::TAheadEntry& TMainForm::AheadEntry(const std::string& listed, const std::string& start) {
  auto it = m_aheadEntries.find(listed);
  if (it != m_aheadEntries.end()) return it->second;
  auto [at, added] = m_aheadEntries.try_emplace(listed);
  TAheadEntry& entry = at->second;
  entry.listed = &at->first;
  entry.url = NormalizeUrl(IsAbsoluteLink(listed) ? listed : JoinLink(start, listed));
  entry.canon = m_aheadByUrl.emplace(entry.url, &entry).first->second;
  return entry;
}

int TMainForm::AheadServer(const std::string& key) {
  return m_aheadServers.emplace(key, static_cast<int>(m_aheadServers.size())).first->second;
}

bool TMainForm::PassesNameTestAhead(TAheadEntry& entry, NameCharset charset) {
  signed char& known = entry.passes.at(static_cast<std::size_t>(charset));
  if (known >= 0) return known != 0;
  // The test reads the name in the charset of the entry's own referrer, as at its turn.
  const NameCharset kept = std::exchange(m_nameCharset, charset);
  bool pass = false;
  try {
    pass = CheckFileName(entry.url);
  } catch (const std::exception&) {
    pass = false;  // the entry meets its error at its own turn
  }
  m_nameCharset = kept;
  known = pass ? 1 : 0;
  return pass;
}

void TMainForm::AheadProbe(THttpClient& probe, const std::string& url) const {
  probe.Host = HttpClient1.Host;
  probe.Port = HttpClient1.Port;
  probe.Proxy = HttpClient1.Proxy;
  probe.ProxyPort = HttpClient1.ProxyPort;
  probe.HeaderInfo = HttpClient1.HeaderInfo;
  probe.StreamFactory = HttpClient1.StreamFactory;
  probe.Resolver = HttpClient1.Resolver;
  probe.Pool = HttpClient1.Pool;
  probe.RequestURL = url;
  probe.CurrentCmd = CmdGet;
  probe.ParseURL();
}

const TMainForm::TAheadTarget& TMainForm::AheadTarget(TAheadEntry& entry) {
  if (entry.target) return *entry.target;
  TAheadTarget target;
  try {
    THttpClient probe;
    AheadProbe(probe, entry.url);
    target = {probe.ConnectionKey(), probe.OffersHttp2(), true};
    target.server = AheadServer(target.key);
  } catch (const std::exception&) {
    target.valid = false;  // the entry meets its error at its own turn
  }
  return entry.target.emplace(std::move(target));
}

int TMainForm::TransfersAllowed(const TAheadTarget& target) const {
  if (!target.offersHttp2) return TRunOptions::kMaxConnectionsPerServer;
  // Until a first connection has told whether the server speaks HTTP/2, it is the only one.
  const std::optional<bool> http2 = m_pool->ChoseHttp2(target.key);
  if (!http2) return 1;
  if (!*http2) return TRunOptions::kMaxConnectionsPerServer;
  // The server's connection has ended (a server ends one after so many requests): until the one
  // transfer now under way has made the next, the others wait for it instead of each making a
  // connection of its own for its one request.
  return FindHttp2(*m_pool, target.key) ? TRunOptions::kMaxParallel : 1;
}

void TMainForm::PollFetchAhead() {
  if (!m_aheadActive || ParallelTransfers() <= 1 || Aborted || m_inAheadPoll) return;
  m_inAheadPoll = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{m_inAheadPoll};
  try {
    AdvanceFetchAhead();
  } catch (const std::exception&) {
    // Whatever goes wrong ahead is no failure of the transfer in hand: the entries are fetched
    // at their own turns instead.
    m_ahead.Clear();
  }
}

void TMainForm::AdvanceFetchAhead() {
  // A transfer that has just finished gives its connection to the next entry in the same pass,
  // not a wait later.
  if (StepFetchAhead()) StepFetchAhead();
}

bool TMainForm::StepFetchAhead() {
  TToraVinIniList& s = *m_settings;
  const std::string& start = m_form.AddressEdit.Text;
  // While the client is at work, the first entry is the one in hand: its URL has a transfer
  // already, and no second one is started for another entry of the same URL.
  const bool inHand = HttpClient1.InCommand();
  const int first = inHand ? 1 : 0;
  // A redirect in hand set a cookie that every later request carries: a request to that host
  // built now would lack it, so nothing is fetched ahead from the first such entry on.
  const std::string cookieHost = inHand ? LowerCase(HttpClient1.CookieRedirectHost()) : "";
  // Nothing the choice depends on has changed (and it was made a moment ago): the transfers
  // chosen go on.
  TAheadPlan plan{s.Count(),
                  inHand,
                  inHand && HttpClient1.HoldsConnection(),
                  inHand ? CurrentUrl : std::string(),
                  cookieHost,
                  m_ahead.BusyCount(),
                  m_ahead.Count(),
                  m_pool->Learned(),
                  TickCountMs()};
  // Advances the transfers; true when that freed a connection or told what a server speaks.
  const auto pollFrees = [this] {
    const int busy = m_ahead.BusyCount();
    const std::size_t learned = m_pool->Learned();
    m_ahead.Poll();
    if (m_form.Progress.Active) m_form.Progress.Ahead = m_ahead.BusyCount();
    return m_ahead.BusyCount() < busy || m_pool->Learned() != learned;
  };
  const bool holdEnds = m_http2HoldSince >= 0 && plan.at - m_http2HoldSince >= kHttp2HoldMs;
  if (plan == m_aheadPlan && plan.at - m_aheadPlan.at < kReplanMs && !holdEnds) {
    return pollFrees();
  }
  // The run's own connection is one of the N; a reply that has arrived whole holds none. Each
  // server gets at most its own share of them (TransfersAllowed).
  const int slots = ParallelTransfers() - 1;
  int busy = 0;
  std::vector<int> perServer;
  const auto onServer = [&perServer](int server) -> int& {
    if (perServer.size() <= static_cast<std::size_t>(server)) perServer.resize(server + 1, 0);
    return perServer[static_cast<std::size_t>(server)];
  };
  // Each server's share, worked out once a choice (0: not yet).
  std::vector<int> shares;
  const auto shareOf = [this, &shares](const TAheadTarget& target) {
    if (shares.size() <= static_cast<std::size_t>(target.server)) {
      shares.resize(target.server + 1, 0);
    }
    int& share = shares[static_cast<std::size_t>(target.server)];
    if (share == 0) share = TransfersAllowed(target);
    return share;
  };
  // The entry in hand counts while it holds a connection: one whose reply arrived whole ahead
  // reads from memory, and its connection already serves another.
  if (plan.inHandHolds) ++onServer(AheadServer(HttpClient1.ConnectionKey()));
  // The entries chosen (with their referrers, and their transfers when started); they stay put
  // until the end of this pass. A URL is looked at once a choice, under its first entry.
  struct Wanted {
    TAheadEntry* entry;
    const std::string* referer;
    const TAheadTransfer* started;
    bool http2;  // a stream of the server's HTTP/2 connection
  };
  std::vector<Wanted> wanted;
  wanted.reserve(kMaxAhead);
  const std::uint64_t choice = ++m_aheadChoices;
  m_ahead.BeginChoice();
  // Each URL's transfer, marked on its first entry for this choice.
  m_ahead.ForEach([choice](void* tag, const TAheadTransfer* transfer) {
    if (tag == nullptr) return;
    TAheadEntry& canon = *static_cast<TAheadEntry*>(tag);
    canon.transfer = transfer;
    canon.transferIn = choice;
  });
  // The entries come in the order of the last choice, less those the run has finished with since:
  // most are found there by their place, without a lookup of their URL.
  std::vector<TAheadEntry*> looked;
  looked.reserve(m_aheadLooked.size() + 1);
  std::size_t next = 0;
  const auto entryOf = [&](const std::string& listed) -> TAheadEntry& {
    for (std::size_t k = next; k < m_aheadLooked.size() && k < next + 2; ++k) {
      if (*m_aheadLooked[k]->listed == listed) {
        next = k + 1;
        return *m_aheadLooked[k];
      }
    }
    // Several entries finished at once: the places go on after this one's.
    TAheadEntry& entry = AheadEntry(listed, start);
    if (entry.placedIn == choice - 1) next = entry.place + 1;
    return entry;
  };
  // The URL in hand, by its first entry: an entry is that URL when it shares that first entry.
  // A URL no entry has had yet (a redirect's target) is compared as it stands.
  const TAheadEntry* inHandUrl = nullptr;
  if (inHand) {
    const auto at = m_aheadByUrl.find(CurrentUrl);
    if (at != m_aheadByUrl.end()) inHandUrl = at->second;
  }
  // Entries next to each other mostly share their referrer, and so its charset.
  const std::string* lastReferer = nullptr;
  NameCharset charset = NameCharset::Unknown;
  for (int i = first; i < s.Count() && i < first + kAheadScan; ++i) {
    const TDownLoadUnit& unit = s.Item(i);
    TAheadEntry& entry = entryOf(unit.Url);
    entry.placedIn = choice;
    entry.place = looked.size();
    looked.push_back(&entry);
    if (inHand && (inHandUrl ? entry.canon == inHandUrl : entry.url == CurrentUrl)) continue;
    if (!cookieHost.empty() && HostOf(entry.url) == cookieHost) break;
    if (entry.canon->lookedAtIn == choice) continue;
    entry.canon->lookedAtIn = choice;
    if (!lastReferer || *lastReferer != unit.Referer) {
      lastReferer = &unit.Referer;
      charset = CharsetOf(unit.Referer);
    }
    // The test reads the name in the charset of the entry's own referrer, as at its turn.
    if (!PassesNameTestAhead(entry, charset)) continue;
    const TAheadTarget& target = AheadTarget(entry);
    if (!target.valid) continue;  // the entry meets its error at its own turn
    const TAheadTransfer* started =
        entry.canon->transferIn == choice ? entry.canon->transfer : nullptr;
    const int allowed = shareOf(target);
    if (!started) {
      if (busy >= slots || wanted.size() >= kMaxAhead) break;
      if (onServer(target.server) >= allowed) break;
    }
    if (!started || started->Busy()) {
      ++busy;
      ++onServer(target.server);
    }
    if (started) m_ahead.Keep(started);
    wanted.push_back({&entry, &unit.Referer, started, allowed == TRunOptions::kMaxParallel});
  }
  m_ahead.DropUnwanted();
  m_aheadLooked = std::move(looked);
  int freshHttp2 = 0;
  for (const Wanted& w : wanted) freshHttp2 += !w.started && w.http2 ? 1 : 0;
  bool holdHttp2 = freshHttp2 > 0 && freshHttp2 < kHttp2Batch && m_ahead.Count() >= kHttp2Batch;
  if (!holdHttp2) {
    m_http2HoldSince = -1;
  } else if (m_http2HoldSince < 0) {
    m_http2HoldSince = plan.at;
  } else if (plan.at - m_http2HoldSince >= kHttp2HoldMs) {
    holdHttp2 = false;
    m_http2HoldSince = -1;
  }
  for (const auto& [entry, referer, started, http2] : wanted) {
    if (started || (http2 && holdHttp2)) continue;
    // The request as the client will build it at the entry's turn.
    THttpClient probe;
    try {
      AheadProbe(probe, entry->url);
      probe.BuildRequestHeaders();
    } catch (const std::exception&) {
      entry->target->valid = false;
      continue;  // the entry meets its error at its own turn
    }
    EditRequestHeaders(probe, *referer);
    m_ahead.Start(entry->url, std::make_unique<TAheadTransfer>(probe), entry->canon);
  }
  const bool freed = pollFrees();
  plan.busy = m_ahead.BusyCount();
  plan.count = m_ahead.Count();
  m_aheadPlan = std::move(plan);
  return freed;
}

std::unique_ptr<TByteStream> TMainForm::ReadyStream() {
  if (m_ahead.Count() == 0) return nullptr;
  return m_ahead.Take(CurrentUrl, TAheadTransfer::Identity(HttpClient1));
}

}  // namespace toravin
