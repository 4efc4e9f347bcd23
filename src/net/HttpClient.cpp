// The HTTP exchange on top of the socket client. A command loops over exchanges: each one starts
// from empty reply state (ReplyCode, Header, Body, counters) so a failed exchange never leaves the
// previous reply behind; redirects are bounded; the body buffer is reserved from Content-Length so
// a large body is received without repeated growth.
#include "net/HttpClient.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>

#include "net/AheadStream.h"
#include "net/BodyStream.h"
#include "net/Http2Stream.h"
#include "net/ReplyRules.h"
#include "net/TlsStream.h"
#include "net/UUProcessor.h"
#include "net/UrlEncoder.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/MemoryAdvice.h"

namespace toravin {
namespace {

// A Body buffer larger than this is released before the next exchange instead of kept.
constexpr std::size_t kKeepBodyCapacity = std::size_t{1} << 20;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return u;
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// The field after `skip` characters of a header line, without its line end, cut to the limit.
std::string FieldValue(std::string_view line, std::size_t skip) {
  if (line.size() <= skip) return {};
  std::string_view v = WithoutLineEnd(line.substr(skip));
  return std::string(v.substr(0, THttpClient::kMaxUrlPart));
}

// The value of a header line: what follows the first colon, without the blanks and tabs before
// it (they are not part of the value, however many there are) and without the line end, cut to
// the limit.
std::string ValueAfterColon(std::string_view line) {
  std::size_t pos = line.find(':');
  if (pos == std::string_view::npos) return {};
  ++pos;
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  return FieldValue(line, pos);
}

// The n-th (0-based) blank-separated word of a line.
std::string_view Word(std::string_view line, int n) {
  std::size_t pos = 0;
  for (int i = 0;; ++i) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    std::size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    if (i == n) return line.substr(pos, end - pos);
    if (end >= line.size()) return {};
    pos = end;
  }
}

// The status code: the second word as a decimal number of at most 9 digits, else 0.
int StatusCode(std::string_view line) {
  std::string_view w = Word(WithoutLineEnd(line), 1);
  if (w.empty() || w.size() > 9) return 0;
  int value = 0;
  for (char c : w) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

// The first run of digits after the colon; saturates instead of overflowing; a run preceded by a
// minus sign is a negative length, which means no usable length (0).
std::int64_t ContentLengthValue(std::string_view line) {
  std::size_t pos = line.find(':');
  if (pos == std::string_view::npos) return 0;
  while (pos < line.size() && !(line[pos] >= '0' && line[pos] <= '9')) ++pos;
  if (pos == line.size()) return 0;
  if (line[pos - 1] == '-') return 0;
  std::int64_t value = 0;
  for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos) {
    int d = line[pos] - '0';
    if (value > (THttpClient::kMaxContentLength - d) / 10) return THttpClient::kMaxContentLength;
    value = value * 10 + d;
  }
  return value;
}

// Converts a port text the way the runtime's integer conversion does, limited to TCP ports.
int PortNumber(const std::string& text) {
  int value = 0;
  bool ok = !text.empty() && text.size() <= 5;
  for (char c : text) {
    if (c < '0' || c > '9') ok = false;
    if (ok) value = value * 10 + (c - '0');
  }
  if (!ok || value < 1 || value > 65535) {
    throw std::invalid_argument("'" + text + "' is not a valid integer value");
  }
  return value;
}

const char* MethodText(CmdType cmd) {
  switch (cmd) {
    case CmdGet:
      return "GET ";
    case CmdOptions:
      return "OPTIONS ";
    case CmdHead:
      return "HEAD ";
    case CmdPost:
      return "POST ";
    case CmdPut:
      return "PUT ";
    case CmdPatch:
      return "PATCH ";
    case CmdCopy:
      return "COPY ";
    case CmdMove:
      return "MOVE ";
    case CmdDelete:
      return "DELETE ";
    case CmdLink:
      return "LINK ";
    case CmdUnlink:
      return "UNLINK ";
    case CmdTrace:
      return "TRACE ";
    case CmdCustom:
      return "";
  }
  return "";
}

bool AnnouncesBody(CmdType cmd) {
  switch (cmd) {
    case CmdPost:
    case CmdPut:
    case CmdPatch:
    case CmdLink:
    case CmdUnlink:
    case CmdTrace:
    case CmdCustom:
      return true;
    default:
      return false;
  }
}

// Position of the n-th (1-based) occurrence of c, or npos.
std::size_t NthPos(std::string_view s, char c, int n) {
  std::size_t pos = std::string_view::npos;
  for (int i = 0; i < n; ++i) {
    pos = s.find(c, pos == std::string_view::npos ? 0 : pos + 1);
    if (pos == std::string_view::npos) return pos;
  }
  return pos;
}

}  // namespace

THttpClient::THttpClient() = default;
THttpClient::~THttpClient() = default;

void THttpClient::Abort() {
  WaitOver = true;
  Cancel();
}

// --- commands ---

void THttpClient::Run(CmdType cmd, const std::string& url) {
  // A handler that runs nested inside this command's waits must not start another one: it would
  // replace the request, the reply and the body that the outer command's handlers still read.
  if (m_inCommand) throw ESockError(Sjis("HTTP クライアントは、ほかの要求を処理中です。"));
  m_inCommand = true;
  m_cookieRedirectHost.clear();
  struct Leave {
    THttpClient& client;
    ~Leave() {
      client.m_inCommand = false;
      client.m_cookieRedirectHost.clear();
    }
  } leave{*this};
  RequestURL = url;
  CurrentCmd = cmd;
  RunCommand();
}

void THttpClient::Options(const std::string& url) { Run(CmdOptions, url); }
void THttpClient::Get(const std::string& url) { Run(CmdGet, url); }
void THttpClient::Head(const std::string& url) { Run(CmdHead, url); }
void THttpClient::Delete(const std::string& url) { Run(CmdDelete, url); }

void THttpClient::Post(const std::string& url, const std::string& data) {
  if (EncodeUploadData && !OutputFileMode) {
    TUrlEncoder encoder;
    encoder.InputString = data;
    UploadData = encoder.Encode();
  } else {
    UploadData = data;
  }
  Run(CmdPost, url);
}

void THttpClient::Put(const std::string& url, const std::string& data) {
  UploadData = data;
  Run(CmdPut, url);
}

void THttpClient::Patch(const std::string& url, const std::string& data) {
  UploadData = data;
  Run(CmdPatch, url);
}

void THttpClient::Trace(const std::string& url, const std::string& data) {
  UploadData = data;
  Run(CmdTrace, url);
}

void THttpClient::SendCustom(const std::string& url, const std::string& data) {
  UploadData = data;
  Run(CmdCustom, url);
}

void THttpClient::Copy(const std::string& url, const std::string& target) {
  TargetURI = target;
  Run(CmdCopy, url);
}

void THttpClient::Move(const std::string& url, const std::string& target) {
  TargetURI = target;
  Run(CmdMove, url);
}

void THttpClient::Link(const std::string& url, const std::string& target) {
  TargetURI = target;
  UploadData = "Send.dat";
  Run(CmdLink, url);
}

void THttpClient::Unlink(const std::string& url, const std::string& target) {
  TargetURI = target;
  UploadData = "Send.dat";
  Run(CmdUnlink, url);
}

// --- one command ---

void THttpClient::ReserveBody() {
  std::int64_t room = BodyLimit >= 0 ? std::min(ContentLength, BodyLimit) : ContentLength;
  if (room <= 0 || room > kMaxBodyReserve) return;
  try {
    Body.reserve(static_cast<std::size_t>(room));
    AdviseHugePages(Body.data(), Body.capacity());
  } catch (const std::exception&) {
    // A length the machine cannot hold is only a hint; the body grows as it arrives.
  }
}

bool THttpClient::OpenConnection(bool fresh) {
  if (!Pool) {
    Connect();
    return false;
  }
  if (!fresh && OnReadyStream) {
    if (std::unique_ptr<TByteStream> ready = OnReadyStream(*this)) {
      const bool reused = ready->Reused();
      m_pendingStream = std::move(ready);
      Connect();
      return reused;
    }
  }
  if (!fresh) {
    if (std::unique_ptr<TByteStream> kept = Pool->Take(ConnectionKey())) {
      AdoptStream(std::move(kept));
      return true;
    }
  }
  Connect();
  return false;
}

void THttpClient::SendAndReadHeader() {
  for (bool fresh = false;; fresh = true) {
    const bool reused = OpenConnection(fresh);
    m_replySeen = false;
    try {
      SendRequest();
      ReplyCode = 0;
      ReadReplyHeader();
    } catch (const EAbortError&) {
      throw;  // stopped by the user or the time-out: nothing to try again
    } catch (const ESockError&) {
      // An idle connection the server closed just as it was used, or a request the server did
      // not process (a stream it refused, or one beyond its GOAWAY): once more on a new one, as
      // though it had never been tried.
      const bool unprocessed = !fresh && Stream() && Stream()->Unprocessed();
      if (!(reused || unprocessed) || m_replySeen || TimedOut) throw;
      Disconnect();
      continue;
    }
    if (reused && !m_replySeen) {
      Disconnect();
      continue;
    }
    return;
  }
}

void THttpClient::ReadBody() {
  if (Pool) {
    // The body ends where its framing says; the capture loops read it like a closing reply.
    const TReplyFraming framing = m_framing.Framing(CurrentCmd == CmdHead);
    SwapStream(std::make_unique<TBodyStream>(SwapStream(nullptr), framing));
  }
  if (InputFileMode) {
    CaptureFile(Body);
  } else if (TBodySink* sink = IsSuccessReply(m_statusLineSeen, ReplyCode) && OnBodySink
                                   ? OnBodySink(*this)
                                   : nullptr) {
    CaptureSink(*sink);
  } else {
    ReserveBody();
    CaptureString(Body, BodyLimit);
    // The last block may reach past the limit; what is kept ends at it.
    if (BodyLimit >= 0 && Body.size() > static_cast<std::size_t>(BodyLimit)) {
      Body.resize(static_cast<std::size_t>(BodyLimit));
    }
  }
}

void THttpClient::EndConnection() {
  auto* body = Pool ? dynamic_cast<TBodyStream*>(Stream()) : nullptr;
  if (!body || !body->Reusable()) {
    Disconnect();
    return;
  }
  std::unique_ptr<TByteStream> connection = body->Release();
  // A stream fetched ahead is kept as the connection under it once its held bytes are read.
  if (auto* ahead = dynamic_cast<TAheadStream*>(connection.get())) {
    connection = ahead->ReleaseLive();
  }
  ReleaseStream();
  if (connection) Pool->Put(ConnectionKey(), std::move(connection));
}

void THttpClient::RunCommand() {
  for (int redirects = 0;; ++redirects) {
    ParseURL();
    BuildRequestHeaders();
    if (OnAboutToSend) OnAboutToSend(*this);

    // Each exchange starts from an empty reply.
    ReplyCode = 0;
    m_statusLineSeen = false;
    ContentLength = 0;
    BytesReceived = 0;
    if (!InputFileMode) {
      if (Body.capacity() > kKeepBodyCapacity) std::string().swap(Body);
      Body.clear();
    }
    if (!OutputFileMode) Header.clear();

    bool follow = false;
    try {
      SendAndReadHeader();
      ReadBody();
      // A kept connection is free once its reply has been read: the handlers' own Disconnect
      // (which a connection per exchange would get) must not close it.
      if (Pool) EndConnection();
      if (IsSuccessReply(m_statusLineSeen, ReplyCode)) {
        if (OnSuccess) OnSuccess(CurrentCmd);
        ReportStatus(2, "Transaction Completed");
      } else if (ReplyCode >= 300 && ReplyCode <= 302 && m_locationSeen && !RedirectURL.empty() &&
                 IsFollowableLocation(RedirectURL) && redirects < kMaxRedirects) {
        RequestURL = ResolveLocation(RedirectURL);
        follow = true;
      } else if (OnFailure) {
        // 299, 303-399, a redirect without a Location, to a scheme other than http and https or
        // beyond the bound, every error code, and a code outside 100-599 (or none at all).
        OnFailure(CurrentCmd);
      }
    } catch (...) {
      m_pendingStream.reset();
      Disconnect();
      throw;
    }
    Disconnect();

    if (ReplyCode >= 300 && ReplyCode <= 398 && !ReceivedCookie.empty()) {
      HeaderInfo.Cookie = ReceivedCookie;
      m_httpsCookie = m_secure ? ReceivedCookie : std::string();
      if (follow) m_cookieRedirectHost = Host;
    }
    if (follow) {
      bool handled = false;
      if (OnRedirect) OnRedirect(handled);
      if (handled) return;
    }
    if (ReplyCode == 401 && OnAuthenticationNeeded) OnAuthenticationNeeded(*this);
    if (!follow) return;
  }
}

void THttpClient::ParseURL() {
  if (RequestURL.empty()) throw std::runtime_error("Empty URL");
  if (Port == 0) Port = 80;
  const std::string& url = RequestURL;
  const bool hasDoubleSlash = url.find("//") != std::string::npos;

  std::string path;
  if (hasDoubleSlash) {
    std::size_t third = NthPos(url, '/', 3);
    if (third != std::string::npos) path = url.substr(third);
  } else if (std::size_t first = url.find('/'); first != std::string::npos) {
    path = url.substr(first);
  }
  if (path.size() > kMaxUrlPart) path.resize(kMaxUrlPart);

  if (std::size_t colon = url.find(':'); colon != std::string::npos) {
    std::string scheme = Upper(url.substr(0, colon));
    if (scheme == "GOPHER") {
      Port = 70;
    } else if (scheme == "FTP") {
      Port = 21;
    } else if (scheme == "HTTPS") {
      Port = 443;
    } else {
      Port = 80;
    }
    m_secure = scheme == "HTTPS";
  }

  std::string hostPart;
  if (hasDoubleSlash) {
    std::size_t second = NthPos(url, '/', 2);
    std::size_t third = NthPos(url, '/', 3);
    if (second != std::string::npos) {
      hostPart = third == std::string::npos ? url.substr(second + 1)
                                            : url.substr(second + 1, third - second - 1);
    }
  } else if (!url.starts_with('/')) {
    hostPart = url.substr(0, url.find('/'));
  }
  if (std::size_t colon = hostPart.find(':'); colon != std::string::npos) {
    std::string portText = hostPart.substr(colon + 1);
    portText = portText.substr(0, portText.find(':'));
    Port = PortNumber(portText);
    hostPart.resize(colon);
  }
  if (!hostPart.empty()) Host = hostPart;

  if (path.empty()) {
    RequestPath = "/";
    RequestURL += "/";
  } else {
    RequestPath = path;
  }
}

std::string THttpClient::ResolveLocation(const std::string& location) const {
  std::size_t colon = location.find("://");
  if (colon != std::string::npos && colon > 0) {
    bool scheme = true;
    for (char c : location.substr(0, colon)) {
      bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                c == '+' || c == '-' || c == '.';
      scheme = scheme && ok;
    }
    if (scheme) return location;
  }
  if (location.starts_with("//")) return (m_secure ? "https:" : "http:") + location;
  std::string origin = (m_secure ? "https://" : "http://") + Host;
  if (Port != (m_secure ? 443 : 80)) origin += ":" + std::to_string(Port);
  if (location.starts_with('/')) return origin + location;
  std::string dir = RequestPath.substr(0, RequestPath.find_first_of("?#"));
  dir.resize(dir.rfind('/') + 1);  // RequestPath always starts with "/"
  if (dir.empty()) dir = "/";
  return origin + dir + location;
}

std::string THttpClient::ConnectionKey() const {
  const std::string via = Proxy + ":" + std::to_string(ProxyPort);
  if (!Proxy.empty() && !m_secure) return "http via " + via;
  return std::string(m_secure ? "https " : "http ") + Host + ":" + std::to_string(Port) + " via " +
         via;
}

std::unique_ptr<TByteStream> THttpClient::NewStream() {
  if (m_pendingStream) return std::move(m_pendingStream);
  if (Pool) return NewConnection();
  if (OnReadyStream) {
    if (std::unique_ptr<TByteStream> ready = OnReadyStream(*this)) return ready;
  }
  return NewConnection();
}

std::unique_ptr<TByteStream> THttpClient::NewConnection() {
  if (OffersHttp2()) {
    // Kept connections to an HTTPS server offer HTTP/2; one connection per server carries all
    // its exchanges as streams once the server has chosen it.
    const std::string key = ConnectionKey();
    std::string authority = Host;
    if (Port != 443) authority += ":" + std::to_string(Port);
    if (std::shared_ptr<THttp2Connection> h2 = FindHttp2(*Pool, key)) {
      return std::make_unique<THttp2Stream>(std::move(h2), std::move(authority));
    }
    return std::make_unique<THttp2Stream>(TSockClient::NewStream(), Host, std::move(authority),
                                          Pool, key);
  }
  std::unique_ptr<TByteStream> stream = TSockClient::NewStream();
  if (!m_secure) return stream;
  std::string tunnel = Proxy.empty() ? "" : Host + ":" + std::to_string(Port);
  return std::make_unique<TTlsStream>(std::move(stream), Host, std::move(tunnel));
}

void THttpClient::BuildRequestHeaders() {
  RequestHeaders.Clear();
  // An https request through a proxy travels inside a tunnel to the server: it is a direct
  // request, and the proxy sees none of it.
  const bool proxyForm = !Proxy.empty() && !m_secure;
  if (CurrentCmd != CmdCustom) {
    RequestHeaders.Add(MethodText(CurrentCmd) + (proxyForm ? RequestURL : RequestPath) +
                       (Pool ? " HTTP/1.1" : " HTTP/1.0"));
  }
  if (proxyForm) {
    RequestHeaders.Add("Proxy-Connection: Keep-Alive");
    RequestHeaders.Add("Host: " + Host);
  }
  RequestHeaders.SetKeyValue("Host", Host);
  RequestHeaders.Add("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff");
  RequestHeaders.Add("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript");
  RequestHeaders.SetKeyValue("User-Agent", HeaderInfo.LocalProgram);
  RequestHeaders.SetKeyValue("From", HeaderInfo.LocalMailAddress);
  // A cookie an HTTPS reply set does not travel in clear.
  const bool keepsSecret =
      !m_secure && !m_httpsCookie.empty() && HeaderInfo.Cookie == m_httpsCookie;
  RequestHeaders.SetKeyValue("Cookie", keepsSecret ? std::string() : HeaderInfo.Cookie);
  RequestHeaders.SetKeyValue("Referer", HeaderInfo.Referer);
  if (!HeaderInfo.UserId.empty() && !HeaderInfo.Password.empty()) {
    RequestHeaders.SetKeyValue(
        "Authorization", "Basic " + MimeBase64(HeaderInfo.UserId + ":" + HeaderInfo.Password));
  }
  RequestHeaders.Add("Content-type: application/x-www-form-urlencoded");
  if (CurrentCmd == CmdCopy || CurrentCmd == CmdMove) {
    RequestHeaders.Add("URI-header: " + TargetURI);
  } else if (CurrentCmd == CmdLink || CurrentCmd == CmdUnlink) {
    RequestHeaders.Add("Link: " + TargetURI);
  }
  if (AnnouncesBody(CurrentCmd)) {
    std::uintmax_t length = UploadData.size();
    if (OutputFileMode) {
      std::error_code ec;
      length = std::filesystem::file_size(NativePath(UploadData), ec);
      if (ec) throw std::runtime_error("Cannot open file \"" + UploadData + "\"");
    }
    RequestHeaders.Add("Content-Length: " + std::to_string(length));
  }
}

std::string THttpClient::RequestBlock() const {
  // A line break or zero byte inside a line (a value taken from a page) would end the line early
  // and smuggle in headers of its own, so such bytes are dropped.
  const auto ender = [](char c) { return c == '\r' || c == '\n' || c == '\0'; };
  std::size_t size = 2;
  for (const std::string& line : RequestHeaders.Lines()) size += line.size() + 2;
  std::string block;
  block.reserve(size);
  for (const std::string& line : RequestHeaders.Lines()) {
    for (auto from = line.begin(); from != line.end();) {
      const auto bad = std::find_if(from, line.end(), ender);
      block.append(from, bad);
      from = bad == line.end() ? bad : bad + 1;
    }
    block += "\r\n";
  }
  block += "\r\n";
  return block;
}

void THttpClient::SendRequest() {
  // One send for the whole block.
  Write(RequestBlock());
  if (AnnouncesBody(CurrentCmd)) {
    // Every body that Content-Length announced is sent, whole and binary-safe.
    if (OutputFileMode) {
      SendFile(UploadData);
    } else {
      Write(UploadData);
    }
  }
}

void THttpClient::ReadReplyHeader() {
  ContentLength = 0;
  ReceivedCookie.clear();
  m_locationSeen = false;
  FilePtr file;
  if (OutputFileMode) {
    file.reset(std::fopen(NativePath(Header).c_str(), "wb"));
    if (!file) throw std::runtime_error("Cannot create file \"" + Header + "\"");
  } else {
    Header.clear();
  }
  std::size_t total = 0;
  auto store = [&](const std::string& line) {
    total += line.size();
    if (total > kMaxReplyHeaderBytes) throw ESockError("Reply header too long");
    if (file) {
      if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) {
        throw std::runtime_error("Cannot write file \"" + Header + "\"");
      }
    } else {
      Header += line;
    }
  };

  std::string line = ReadLn();
  m_statusLineSeen = !line.empty();
  if (!line.empty()) ReplyCode = StatusCode(line);
  m_replySeen = !line.empty();
  m_framing.StatusLine(line);
  store(line);
  for (;;) {
    line = ReadLn();
    store(line);
    if (line.empty() || line == "\n" || line == "\r\n") break;
    m_framing.HeaderLine(line);
    std::string word = Upper(Word(line, 0));
    if (word == "SET-COOKIE:") {
      ReceivedCookie = FieldValue(line, 12);
    } else if (word == "LOCATION:") {
      RedirectURL = ValueAfterColon(line);
      m_locationSeen = true;
    } else if (word == "CONTENT-LENGTH:") {
      ContentLength = ContentLengthValue(line);
    }
  }
}

}  // namespace toravin
