// TSockClient: the blocking, event-reporting TCP client under the HTTP client. Every operation
// that waits (lookup, connect, send, line and body reads) loops in short poll slices, pumping the
// user interface between them, so the caller blocks while the window stays live and handlers run
// nested inside the wait. Time-outs come from one TThreadTimer checked inside those loops.
#pragma once

#include <poll.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/BodySink.h"
#include "net/ByteStream.h"
#include "net/HostLookup.h"
#include "net/SockError.h"
#include "net/SocketErrors.h"
#include "net/ThreadTimer.h"

namespace toravin {

class TSockClient {
 public:
  using TNotifyEvent = std::function<void(TSockClient& sender)>;
  using THandlerEvent = std::function<void(bool& handled)>;
  using TOnStatus = std::function<void(TSockClient& sender, const std::string& status)>;
  using TStreamFactory = std::function<std::unique_ptr<TByteStream>()>;
  using TResolver = std::function<std::shared_ptr<THostLookup>(const std::string& name)>;

  // Size of the shared send/receive buffer; receives ask for this much at a time, and a line read
  // by ReadLn may not be longer.
  static constexpr std::size_t kIoBufferSize = 65536;
  // Length of one wait slice; waits end as soon as the stream is ready, this only bounds how long
  // the user interface goes without being pumped.
  static constexpr int kWaitSliceMs = 2;
  // A wait that watches every descriptor the run and its other work depend on still ends this
  // often, for the time-out, Abort and the window.
  static constexpr int kWatchedSliceMs = 5;

  TSockClient();
  virtual ~TSockClient();
  TSockClient(const TSockClient&) = delete;
  TSockClient& operator=(const TSockClient&) = delete;

  // Published properties.
  std::string Host;     // host name or dotted IPv4 address
  int Port = 0;         // server port
  int TimeOut = 0;      // ms per waiting step; 0 = none; negative makes every wait fail
  int ReportLevel = 0;  // status texts of this level and below reach OnStatus
  std::string Proxy;    // proxy host; when set it is resolved and connected instead of Host
  int ProxyPort = 0;
  TNotifyEvent OnConnect;
  TNotifyEvent OnDisconnect;
  TNotifyEvent OnConnectionFailed;
  THandlerEvent OnInvalidHost;
  TNotifyEvent OnHostResolved;
  TOnStatus OnStatus;
  TNotifyEvent OnPacketRecvd;  // after each received block of a capture
  TNotifyEvent OnPacketSent;   // after each successful send of SendFile
  // Called on every pass of a waiting loop: other work (transfers fetched ahead) advances here.
  std::function<void()> OnWaitPass;
  // Length of one wait slice (kWaitSliceMs); shorter while other work advances between slices.
  int WaitSliceMs = kWaitSliceMs;
  // Adds the descriptors of that other work: a wait slice ends as soon as one of them is ready.
  // Returns true when they cover all of it (nothing else needs a look at the end of each slice):
  // the wait may then last kWatchedSliceMs.
  std::function<bool(std::vector<pollfd>& fds)> OnWaitFds;

  // Public state.
  bool Connected = false;
  bool Canceled = false;
  bool TimedOut = false;
  bool LastEventOk = false;
  bool WaitOver = false;
  bool ShuttingDown = false;
  int LastErrorCode = 0;
  std::string LastStatus;
  std::string LastReply;
  int ReplyCode = 0;
  // Byte counters are 64-bit: bodies of 2 GiB and more are counted right.
  std::int64_t BytesReceived = 0;
  std::int64_t BytesSent = 0;
  std::int64_t ContentLength = 0;
  std::vector<std::string> WinsockInfo;
  std::uint32_t RemoteAddress = 0;  // host byte order; 0 until resolved
  // Why the last Connect could not make a secure connection (certificate, handshake, proxy
  // tunnel), naming the host; empty otherwise. Cleared when Connect starts.
  std::string LastFailureText;

  // Seams: where connections and name lookups come from. Empty means plain TCP and getaddrinfo.
  TStreamFactory StreamFactory;
  TResolver Resolver;

  // Operations.
  virtual void Connect();
  virtual void Disconnect();
  // Writeln(command), ReadLn one reply line, parse its leading number into ReplyCode.
  virtual std::string Transaction(const std::string& command);
  virtual void Abort();
  void Cancel();
  // Sends every byte of `text` (binary-safe, any length).
  void Write(std::string_view text);
  void Writeln(std::string_view text);
  // Sends `count` bytes; a count of 0 sends up to the first zero byte.
  void SendBuffer(const char* bytes, std::size_t count);
  void SendFile(const std::string& fileName);
  // One line including its line end; the bytes after it stay unread. Empty when the peer closed.
  std::string ReadLn();
  // Receives into `text` (emptied first, its capacity kept) until the peer closes or `maximum`
  // (-1: unlimited) is reached. When `text` has reserved room, blocks land in it directly; while
  // the capture runs its size() is then that room, and BytesReceived says how much has arrived.
  void CaptureString(std::string& text, std::int64_t maximum = -1);
  // Receives into a new file (CP932 path) until the connection ends.
  void CaptureFile(const std::string& fileName);
  // Hands every block to `sink` until the connection ends.
  void CaptureSink(TBodySink& sink);
  bool DataAvailable();

  // The status text of a socket error code: "" for 0, "<code>:<text>" or "Unknown Error No. <n>".
  std::string LookupErrorMessage(int code);

 protected:
  void ResolveHost();
  void RequestCloseSocket();
  // Raises ESockError for `code` unless it is `tolerated` or not above 10000.
  void CheckSocketError(int code, int tolerated = kWsaWouldBlock);
  void ReportStatus(int level, const char* text);
  void ReportStatus(int level, const std::string& text) { ReportStatus(level, text.c_str()); }
  void TimerOn();
  void TimerOff();
  void TimerTriggered();
  // One pass of the waiting loops: check the time-out, then run pending user-interface events.
  void Pump();
  // One wait slice for the stream to take bytes (POLLIN) or to send (POLLOUT), ended early when
  // the other work's descriptors (OnWaitFds) turn ready.
  void WaitStream(short events);
  bool Destroying() const { return m_destroying; }
  // The stream for the next connection: StreamFactory's, or plain TCP.
  virtual std::unique_ptr<TByteStream> NewStream();
  TByteStream* Stream() const { return m_stream.get(); }
  // The block the capture and send loops work through, kIoBufferSize (and one) bytes.
  char* IoBuffer();
  // Goes on with a connection that is open already, as Connect would have left it (OnConnect).
  void AdoptStream(std::unique_ptr<TByteStream> stream);
  // Puts `stream` in the place of the current one, without any event, and returns the old one.
  std::unique_ptr<TByteStream> SwapStream(std::unique_ptr<TByteStream> stream);
  // Ends as Disconnect does (OnDisconnect), but hands the connection out instead of closing it.
  std::unique_ptr<TByteStream> ReleaseStream();

 private:
  void InitializeSocket();
  bool StreamOpen() const { return m_stream && m_stream->IsOpen(); }
  std::int64_t SendSome(const char* bytes, std::size_t count, bool pumping);
  template <typename Consume>
  bool CaptureStep(char* target, std::size_t want, Consume&& consume);
  // What a receive of `n` (a count or a negated code) leads to; false once the stream has ended.
  template <typename Consume>
  bool Captured(std::int64_t n, Consume&& consume);

  TThreadTimer m_timer;
  std::unique_ptr<TByteStream> m_stream;
  std::vector<char> m_ioBuffer;   // see IoBuffer
  std::vector<pollfd> m_waitFds;  // see WaitStream
  bool m_destroying = false;
  // Set by Connect, cleared by the close that reports OnDisconnect for that attempt.
  bool m_disconnectOwed = false;
};

}  // namespace toravin
