// The socket client's operations. Each wait is a loop of at most WaitSliceMs poll slices that
// checks the time-out and pumps the user interface on every pass, so the caller blocks while
// handlers, the Abort button and the timer keep running. Cancellation (by a handler or by the
// time-out) is a flag the loops test; each I/O operation turns it into its own EAbortError.
#include "net/SockClient.h"

#include <arpa/inet.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "net/SecureFailure.h"
#include "net/TcpStream.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"

namespace toravin {
namespace {

// Live clients; the first one fills WinsockInfo, as the library start-up did.
int g_instanceCount = 0;

// Runs TimerOff when an operation leaves, also by an exception.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : m_f(std::move(f)) {}
  ~ScopeExit() { m_f(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F m_f;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

char* TSockClient::IoBuffer() {
  // Made at the first transfer: a client that only builds a request never needs it.
  if (m_ioBuffer.empty()) m_ioBuffer.resize(kIoBufferSize + 1);
  return m_ioBuffer.data();
}

TSockClient::TSockClient() {
  m_timer.SetEnabled(false);
  m_timer.SetOnTimer([this](TThreadTimer&) { TimerTriggered(); });
  InitializeSocket();
}

TSockClient::~TSockClient() {
  m_destroying = true;
  ReportStatus(8, "Destroy");
  TSockClient::Abort();
  Cancel();
  ShuttingDown = true;
  RequestCloseSocket();
  --g_instanceCount;
}

void TSockClient::InitializeSocket() {
  ReportStatus(8, "Initializing Winsock");
  if (++g_instanceCount == 1) {
    rlimit lim{};
    long maxSockets = ::getrlimit(RLIMIT_NOFILE, &lim) == 0 ? static_cast<long>(lim.rlim_cur) : 0;
    WinsockInfo = {"Version= 1.1",
                   "High Version= 1.1",
                   "Description= POSIX sockets (IPv4, non-blocking)",
                   "System= Running",
                   "Max Sockets= " + std::to_string(maxSockets),
                   "Max Udp pack size= 65507"};
  }
}

void TSockClient::ReportStatus(int level, const char* text) {
  if (ReportLevel < level) return;
  LastStatus = text;
  if (m_destroying || !OnStatus) return;
  try {
    OnStatus(*this, LastStatus);
  } catch (...) {
    // A failing status handler must not break the operation that reported.
  }
}

std::string TSockClient::LookupErrorMessage(int code) {
  ReportStatus(8, "Looking Up Error Message");
  return SocketErrorMessage(code);
}

void TSockClient::CheckSocketError(int code, int tolerated) {
  LastErrorCode = code;
  if (code == tolerated || code <= kWsaBase) return;
  throw ESockError(LookupErrorMessage(code));
}

void TSockClient::Pump() {
  m_timer.Poll();
  if (OnWaitPass) OnWaitPass();
  ProcessMessages();
}

void TSockClient::WaitStream(short events) {
  const int fd = OnWaitFds && m_stream ? m_stream->WaitFd() : -1;
  if (fd < 0) {
    if (!m_stream) return;
    if (events == POLLOUT) {
      m_stream->WaitWritable(WaitSliceMs);
    } else {
      m_stream->WaitReadable(WaitSliceMs);
    }
    return;
  }
  m_waitFds.clear();
  m_waitFds.push_back({fd, events, 0});
  const bool covered = OnWaitFds(m_waitFds);
  // An interruption ends the slice like a ready descriptor: the loop looks again either way.
  ::poll(m_waitFds.data(), m_waitFds.size(),
         covered ? std::max(WaitSliceMs, kWatchedSliceMs) : WaitSliceMs);
}

// --- time-out ---

void TSockClient::TimerOn() {
  ReportStatus(8, "Timer On");
  TimedOut = false;
  if (TimeOut < 0) throw std::out_of_range("Range check error");
  m_timer.SetInterval(static_cast<std::uint32_t>(TimeOut));
  m_timer.SetEnabled(true);
}

void TSockClient::TimerOff() {
  ReportStatus(8, "Timer Off");
  m_timer.SetEnabled(false);
}

void TSockClient::TimerTriggered() {
  ReportStatus(8, "Timer Triggered");
  TimerOff();
  TimedOut = true;
  WaitOver = true;
  Abort();
}

// --- connection ---

void TSockClient::Abort() {
  ReportStatus(8, "Abort");
  Cancel();
}

void TSockClient::Cancel() {
  ReportStatus(8, "Canceling");
  Canceled = true;
}

void TSockClient::ResolveHost() {
  ReportStatus(8, "Resolve Host");
  const std::string& name = Proxy.empty() ? Host : Proxy;
  in_addr dotted{};
  if (!name.empty() && ::inet_pton(AF_INET, name.c_str(), &dotted) == 1) {
    RemoteAddress = ntohl(dotted.s_addr);
    return;
  }
  RemoteAddress = 0;
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  WaitOver = false;
  std::shared_ptr<THostLookup> lookup = name.empty()
                                            ? CompletedHostLookup(kWsaHostNotFound, 0)
                                            : (Resolver ? Resolver(name) : StartHostLookup(name));
  for (;;) {
    if (lookup->Done()) {
      LastEventOk = lookup->Error() == 0;
      WaitOver = true;
    }
    if (WaitOver || TimedOut || Canceled) break;
    SleepMs(1);
    Pump();
  }
  if (TimedOut) throw ESockError("Host Lookup Timed Out");
  if (Canceled) throw ESockError("Host Lookup Canceled");
  if (!LastEventOk) {
    LastErrorCode = lookup->Error();
    throw ESockError("Host Lookup Failed");
  }
  RemoteAddress = lookup->Address();
  if (OnHostResolved) OnHostResolved(*this);
}

void TSockClient::Connect() {
  ReportStatus(8, "Connecting");
  Canceled = false;
  LastFailureText.clear();
  if (Connected) throw ESockError("Already connected");
  // From here the attempt holds a socket, even when the lookup or the connect fails: the close
  // that ends it reports OnDisconnect like any other.
  m_disconnectOwed = true;
  for (int retry = 0;; ++retry) {
    try {
      ResolveHost();
    } catch (const ESockError& e) {
      std::string_view what = e.what();
      if (what == "Host Lookup Timed Out" || what == "Host Lookup Canceled") throw;
      RemoteAddress = 0;
    }
    if (RemoteAddress != 0) break;
    if (retry > 0 || !OnInvalidHost) throw ESockError("Null Remote Address");
    bool handled = false;
    OnInvalidHost(handled);
    if (!handled) throw ESockError("Null Remote Address");
  }
  int port = Proxy.empty() ? Port : ProxyPort;
  m_stream = NewStream();
  WaitOver = false;
  LastEventOk = true;
  int code = m_stream->Connect(RemoteAddress, static_cast<std::uint16_t>(port));
  TimerOn();
  {
    ScopeExit off([this] { TimerOff(); });
    for (;;) {
      if (code == 0) {
        Connected = true;
        try {
          if (OnConnect) OnConnect(*this);
        } catch (...) {
          // A notification handler's exception ends nothing, as for every socket notice.
        }
      } else if (code != kWsaWouldBlock) {
        LastErrorCode = code;
        LastEventOk = false;
      }
      if (Connected || TimedOut || Canceled || !LastEventOk) break;
      Pump();
      if (TimedOut || Canceled) break;
      code = m_stream->PollConnect(WaitSliceMs);
    }
  }
  if (TimedOut || Canceled || !LastEventOk) {
    if (!TimedOut && !Canceled) LastFailureText = m_stream->FailureText(LastErrorCode);
    m_stream->Close();
    // A proxy that refuses one tunnel answered like a server refusing one file: that is no
    // failure of the connection itself.
    bool refusedTunnel = !TimedOut && !Canceled && LastErrorCode == kTunnelRefused;
    if (OnConnectionFailed && !refusedTunnel) OnConnectionFailed(*this);
    if (TimedOut) throw ESockError("Connection Timed out");
    if (Canceled) throw ESockError("Connection Canceled");
    if (!LastFailureText.empty()) throw ESockError(LastFailureText);
    throw ESockError("Connection Failed");
  }
}

std::unique_ptr<TByteStream> TSockClient::NewStream() {
  if (StreamFactory) return StreamFactory();
  return std::make_unique<TTcpStream>();
}

void TSockClient::AdoptStream(std::unique_ptr<TByteStream> stream) {
  ReportStatus(8, "Connecting");
  Canceled = false;
  LastFailureText.clear();
  if (Connected) throw ESockError("Already connected");
  m_stream = std::move(stream);
  m_disconnectOwed = true;
  Connected = true;
  try {
    if (OnConnect) OnConnect(*this);
  } catch (...) {
    // As for a new connection: a notification handler's exception ends nothing.
  }
}

std::unique_ptr<TByteStream> TSockClient::SwapStream(std::unique_ptr<TByteStream> stream) {
  std::swap(stream, m_stream);
  return stream;
}

std::unique_ptr<TByteStream> TSockClient::ReleaseStream() {
  ReportStatus(8, "Disconnecting");
  Connected = false;
  std::unique_ptr<TByteStream> stream = std::move(m_stream);
  if (stream || m_disconnectOwed) {
    m_disconnectOwed = false;
    if (!m_destroying && OnDisconnect) OnDisconnect(*this);
  }
  return stream;
}

void TSockClient::Disconnect() {
  ReportStatus(8, "Disconnecting");
  RequestCloseSocket();
}

void TSockClient::RequestCloseSocket() {
  ReportStatus(4, "Request Close Socket");
  Connected = false;
  if (StreamOpen()) {
    m_stream->Close();
  } else if (!m_disconnectOwed) {
    return;
  }
  m_disconnectOwed = false;
  if (!m_destroying && OnDisconnect) OnDisconnect(*this);
}

// --- sending ---

// Sends until everything is taken or the operation is cancelled; a peer that stops reading is
// waited for in slices under the running time-out. Returns the bytes sent.
std::int64_t TSockClient::SendSome(const char* bytes, std::size_t count, bool pumping) {
  std::size_t done = 0;
  while (done < count && !Canceled) {
    std::int64_t n = m_stream ? m_stream->Send(bytes + done, count - done) : -kWsaNotConnected;
    if (n == 0) break;
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      if (pumping) {
        BytesSent += n;
        if (OnPacketSent) OnPacketSent(*this);
        TimerOff();
        TimerOn();
      }
    } else {
      CheckSocketError(static_cast<int>(-n));
      WaitStream(POLLOUT);
      m_timer.Poll();
    }
    if (pumping) ProcessMessages();
  }
  return static_cast<std::int64_t>(done);
}

void TSockClient::SendBuffer(const char* bytes, std::size_t count) {
  ReportStatus(4, "Sending Buffer");
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  if (!Canceled) {
    if (count == 0) count = std::strlen(bytes);
    SendSome(bytes, count, false);
  }
  if (Canceled) {
    Canceled = false;
    throw EAbortError("Socket send aborted");
  }
}

void TSockClient::Write(std::string_view text) {
  ReportStatus(8, "Write");
  if (text.empty()) {
    // Nothing to send, but a pending cancellation still ends the operation.
    if (Canceled) {
      Canceled = false;
      throw EAbortError("Socket send aborted");
    }
    return;
  }
  SendBuffer(text.data(), text.size());
}

void TSockClient::Writeln(std::string_view text) {
  ReportStatus(8, "Writeln");
  std::string line(text);
  line += "\r\n";
  Write(line);
}

void TSockClient::SendFile(const std::string& fileName) {
  ReportStatus(8, "SendFile");
  FilePtr file(std::fopen(NativePath(fileName).c_str(), "rb"));
  if (!file) throw std::runtime_error("Cannot open file \"" + fileName + "\"");
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  while (!Canceled) {
    std::size_t n = std::fread(IoBuffer(), 1, kIoBufferSize, file.get());
    if (n == 0) break;
    SendSome(IoBuffer(), n, true);
  }
  file.reset();
  if (Canceled) {
    Canceled = false;
    throw EAbortError("Socket send aborted");
  }
}

// --- receiving ---

std::string TSockClient::ReadLn() {
  ReportStatus(8, "ReadLn");
  std::string line;
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  char* buf = IoBuffer();
  // A look of about a header line at a time: a reply held whole in memory is not copied once a
  // line, nor a kilobyte of it for every short one.
  constexpr std::size_t kLineLook = 512;
  for (;;) {
    std::int64_t n = m_stream ? m_stream->Receive(buf, kLineLook, true) : -kWsaNotConnected;
    if (n == 0) return {};  // the peer closed; a partial line is dropped
    if (n > 0) {
      const char* lf = static_cast<const char*>(std::memchr(buf, '\n', static_cast<size_t>(n)));
      std::size_t take = lf ? static_cast<std::size_t>(lf - buf) + 1 : static_cast<size_t>(n);
      if (line.size() + take > kIoBufferSize) throw ESockError("Reply line too long");
      std::int64_t got = m_stream->Receive(buf, take, false);
      if (got > 0) line.append(buf, static_cast<std::size_t>(got));
      if (lf && got == static_cast<std::int64_t>(take)) return line;
    } else {
      LastErrorCode = static_cast<int>(-n);
      if (LastErrorCode == kWsaNotConnected) return {};
      CheckSocketError(LastErrorCode);
      WaitStream(POLLIN);
    }
    Pump();
    if (Canceled) break;
  }
  Canceled = false;
  throw EAbortError("Socket readln aborted");
}

// One pass of a capture loop: receives up to `want` bytes into `target`, hands the count to
// `consume`, then reports the packet and restarts the time-out; with nothing to read yet it
// waits one slice. Pumps either way. Returns false when the stream has ended.
template <typename Consume>
bool TSockClient::CaptureStep(char* target, std::size_t want, Consume&& consume) {
  const std::int64_t n = m_stream ? m_stream->Receive(target, want, false) : -kWsaNotConnected;
  return Captured(n, std::forward<Consume>(consume));
}

template <typename Consume>
bool TSockClient::Captured(std::int64_t n, Consume&& consume) {
  if (n == 0) return false;
  if (n > 0) {
    consume(static_cast<std::size_t>(n));
    BytesReceived += n;
    if (OnPacketRecvd) OnPacketRecvd(*this);
    TimerOff();
    TimerOn();
  } else {
    LastErrorCode = static_cast<int>(-n);
    if (LastErrorCode == kWsaNotConnected) return false;
    CheckSocketError(LastErrorCode);
    WaitStream(POLLIN);
  }
  Pump();
  return true;
}

void TSockClient::CaptureString(std::string& text, std::int64_t maximum) {
  ReportStatus(8, "Capture String");
  text.clear();
  BytesReceived = 0;
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  char* buf = IoBuffer();
  // When the caller reserved room (the HTTP client does, from Content-Length), blocks are received
  // straight into the string: its spare capacity is opened up once and trimmed at the end, which
  // saves copying every byte a second time. `filled` counts the bytes received so far.
  std::size_t filled = 0;
  // The room is opened in steps, so an announced length that never arrives costs no memory.
  constexpr std::size_t kDirectStep = std::size_t{4} << 20;
  constexpr std::size_t kDirectReceive = std::size_t{4} << 20;
  bool direct = text.capacity() >= 2 * kIoBufferSize;
  if (direct) text.resize(std::min(text.capacity(), kDirectStep));
  ScopeExit trim([&] {
    if (direct) text.resize(filled);
  });
  while (!Canceled && (maximum < 0 || static_cast<std::int64_t>(filled) < maximum)) {
    if (direct && text.size() == filled) {
      if (text.capacity() > filled) {
        text.resize(std::min(text.capacity(), filled + kDirectStep));
      } else {
        direct = false;  // the reserved room is used up: go on by appending
      }
    }
    char* target = direct ? text.data() + filled : buf;
    // Straight into the string, take as much as the opened room allows (up to kDirectReceive):
    // fewer, larger receives let the kernel fill the fresh pages in long runs.
    std::size_t want = direct ? std::min(text.size() - filled, kDirectReceive) : kIoBufferSize;
    bool more = CaptureStep(target, want, [&](std::size_t n) {
      if (!direct) text.append(buf, n);
      filled += n;
    });
    if (!more) break;
  }
  if (Canceled) {
    Canceled = false;
    throw EAbortError("Socket capture aborted");
  }
}

void TSockClient::CaptureFile(const std::string& fileName) {
  ReportStatus(8, "CaptureFile");
  BytesReceived = 0;
  FilePtr file(std::fopen(NativePath(fileName).c_str(), "wb"));
  if (!file) throw std::runtime_error("Cannot create file \"" + fileName + "\"");
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  char* buf = IoBuffer();
  while (!Canceled) {
    bool more = CaptureStep(buf, kIoBufferSize, [&](std::size_t n) {
      if (std::fwrite(buf, 1, n, file.get()) != n) {
        throw std::runtime_error("Cannot write file \"" + fileName + "\"");
      }
    });
    if (!more) break;
  }
  if (std::fclose(file.release()) != 0) {
    throw std::runtime_error("Cannot write file \"" + fileName + "\"");
  }
  if (Canceled) {
    Canceled = false;
    throw EAbortError("Socket capture aborted");
  }
}

void TSockClient::CaptureSink(TBodySink& sink) {
  ReportStatus(8, "Capture Sink");
  BytesReceived = 0;
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  char* buf = IoBuffer();
  while (!Canceled) {
    // Bytes the stream holds in memory go to the sink where they lie, not through the block.
    const std::string_view held = m_stream ? m_stream->TakeHeld(kIoBufferSize) : std::string_view();
    const bool more =
        held.empty() ? CaptureStep(buf, kIoBufferSize, [&](std::size_t n) { sink.Write(buf, n); })
                     : Captured(static_cast<std::int64_t>(held.size()),
                                [&](std::size_t n) { sink.Write(held.data(), n); });
    if (!more) break;
  }
  if (Canceled) {
    Canceled = false;
    throw EAbortError("Socket capture aborted");
  }
}

bool TSockClient::DataAvailable() {
  ReportStatus(8, "Data Available");
  if (!m_stream) return false;
  char c;
  return m_stream->Receive(&c, 1, true) > 0;
}

std::string TSockClient::Transaction(const std::string& command) {
  ReportStatus(8, "Transaction");
  ReplyCode = 0;
  Writeln(command);
  LastReply = ReadLn();
  if (!LastReply.empty()) {
    ReportStatus(1, LastReply);
    std::int64_t value = 0;
    std::size_t digits = 0;
    while (digits < 10 && digits < LastReply.size() && LastReply[digits] >= '0' &&
           LastReply[digits] <= '9') {
      value = value * 10 + (LastReply[digits] - '0');
      ++digits;
    }
    if (digits > 0) {
      if (value > 32767) throw std::out_of_range("Range check error");
      ReplyCode = static_cast<int>(value);
    }
  }
  return LastReply;
}

}  // namespace toravin
