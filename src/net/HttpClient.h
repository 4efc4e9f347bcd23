// THttpClient: the HTTP client. Each command runs complete exchanges: split the URL, build the
// request block, let the owner edit it (OnAboutToSend), connect, send, read the reply header,
// read the body, report OnSuccess or OnFailure, disconnect, and follow redirects. Transport errors
// leave the command as exceptions. Without a Pool every exchange is HTTP/1.0 on a connection of
// its own, read until the server closes; with one, requests are HTTP/1.1, bodies end where their
// length or chunked coding says, and a connection that may carry another exchange goes back to
// the pool for the next request to the same server (or proxy).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/ConnectionPool.h"
#include "net/ExStringList.h"
#include "net/ReplyFraming.h"
#include "net/SockClient.h"

namespace toravin {

enum CmdType {
  CmdGet = 0,
  CmdOptions = 1,
  CmdHead = 2,
  CmdPost = 3,
  CmdPut = 4,
  CmdPatch = 5,
  CmdCopy = 6,
  CmdMove = 7,
  CmdDelete = 8,
  CmdLink = 9,
  CmdUnlink = 10,
  CmdTrace = 11,
  CmdCustom = 12,
};

// Optional request header values; empty ones are not sent.
struct THeaderInfo {
  std::string LocalMailAddress;  // From
  std::string LocalProgram;      // User-Agent
  std::string Cookie;            // Cookie; a redirect's Set-Cookie lands here
  std::string Referer;           // Referer
  std::string UserId;            // Basic authorization, with Password
  std::string Password;
};

class THttpClient : public TSockClient {
 public:
  using THttpEvent = std::function<void(THttpClient& sender)>;
  using TResultEvent = std::function<void(CmdType cmd)>;

  // Redirects (300-302) followed within one command; one more ends it through OnFailure.
  static constexpr int kMaxRedirects = 20;
  // Request paths, Location and Set-Cookie values are cut to this many characters.
  static constexpr std::size_t kMaxUrlPart = 256;
  // A reply header larger than this ends the exchange with ESockError "Reply header too long".
  static constexpr std::size_t kMaxReplyHeaderBytes = 1 << 20;
  // The body buffer is reserved from Content-Length up to this size; beyond it, it grows.
  static constexpr std::int64_t kMaxBodyReserve = std::int64_t{4} << 30;
  // A Content-Length too long for 64 bits reads as this value.
  static constexpr std::int64_t kMaxContentLength = INT64_MAX;

  THttpClient();
  ~THttpClient() override;

  // Published properties.
  std::string Body = "Default.htm";  // reply body, or with InputFileMode the body file's name
  std::string Header = "Head.txt";   // reply header, or with OutputFileMode the header file's name
  THeaderInfo HeaderInfo;
  bool InputFileMode = false;
  bool OutputFileMode = false;  // header to a file; request bodies from the file UploadData
  THttpEvent OnAboutToSend;     // RequestHeaders is built and may be edited
  TResultEvent OnSuccess;       // reply code 100-298, or no reply at all
  TResultEvent OnFailure;       // any other code, or a redirect not followed
  THandlerEvent OnRedirect;     // a redirect is about to be followed; Handled ends the command
  THttpEvent OnAuthenticationNeeded;  // reply code 401
  // The header of a reply of 100-298 has arrived: the sink its body goes to instead of Body, or
  // null to hold it in Body. The sink must live until the command returns.
  std::function<TBodySink*(THttpClient& sender)> OnBodySink;
  // The connection for the request just built (RequestHeaders is final): a stream that already
  // carries this exchange (fetched ahead), or null for a new connection.
  std::function<std::unique_ptr<TByteStream>(THttpClient& sender)> OnReadyStream;
  // A body held in Body ends after this many bytes (-1: no bound); reading stops at the first
  // block that reaches it, and the rest is not read.
  std::int64_t BodyLimit = -1;
  // Connections kept open between exchanges (shared with the transfers fetched ahead); null: one
  // connection per exchange, HTTP/1.0.
  std::shared_ptr<TConnectionPool> Pool;

  // Public state.
  TExStringList RequestHeaders;
  std::string RequestURL;
  std::string RequestPath;
  std::string RedirectURL;  // last Location received; kept between replies
  std::string ReceivedCookie;
  std::string UploadData;
  std::string TargetURI;
  CmdType CurrentCmd = CmdGet;
  bool EncodeUploadData = true;

  void Abort() override;
  // A command is running: its events are being raised, or it waits for the network.
  bool InCommand() const { return m_inCommand; }
  // The exchange in hand reads from a connection of its own, or is about to make one (not when
  // it reads a reply that arrived whole ahead of it).
  bool HoldsConnection() const { return !Stream() || Stream()->HoldsConnection(); }
  // While the command in hand follows a redirect that set a cookie: the host that set it (every
  // later request carries the cookie); empty otherwise.
  const std::string& CookieRedirectHost() const { return m_cookieRedirectHost; }

  // Commands.
  virtual void Options(const std::string& url);
  virtual void Get(const std::string& url);
  virtual void Post(const std::string& url, const std::string& data);
  virtual void Put(const std::string& url, const std::string& data);
  virtual void Head(const std::string& url);
  virtual void Patch(const std::string& url, const std::string& data);
  virtual void Delete(const std::string& url);
  virtual void Trace(const std::string& url, const std::string& data);
  virtual void Copy(const std::string& url, const std::string& target);
  virtual void Move(const std::string& url, const std::string& target);
  virtual void Link(const std::string& url, const std::string& target);
  virtual void Unlink(const std::string& url, const std::string& target);
  virtual void SendCustom(const std::string& url, const std::string& data);

  // The steps of a command, public so that tools and tests can drive them one by one.
  virtual void RunCommand();
  virtual void ParseURL();
  virtual void BuildRequestHeaders();
  virtual void ReadReplyHeader();
  virtual void SendRequest();
  // The request block SendRequest sends first: RequestHeaders, a line each, and a blank line.
  std::string RequestBlock() const;
  // A new, unconnected stream for the current request (TLS for "https"); ignores OnReadyStream.
  std::unique_ptr<TByteStream> NewConnection();

  // The absolute URL a Location value leads to from the current request: absolute values stay,
  // "//host/.." takes the request's scheme, "/path" keeps scheme, host and port, other relative
  // values resolve against the directory of the request path.
  std::string ResolveLocation(const std::string& location) const;

  // True while the current request is an "https" one: port 443 by default, a TLS stream, and
  // through a proxy a CONNECT tunnel instead of the proxy's request form.
  bool Secure() const { return m_secure; }

  // A new connection for the current request offers HTTP/2 (kept connections, direct HTTPS).
  bool OffersHttp2() const { return Pool && m_secure && Proxy.empty(); }

  // What a kept connection for the current request leads to: the server's scheme, host and port,
  // or, for plain HTTP through a proxy, the proxy alone.
  std::string ConnectionKey() const;

 protected:
  std::unique_ptr<TByteStream> NewStream() override;

 private:
  void Run(CmdType cmd, const std::string& url);
  void ReserveBody();
  // Connects for the current exchange: a ready stream, else a kept connection (unless `fresh`),
  // else a new one. True when the connection already carried an exchange.
  bool OpenConnection(bool fresh);
  void SendAndReadHeader();
  void ReadBody();
  // Ends the exchange's connection: back to the pool when its reply allows, else closed.
  void EndConnection();
  std::unique_ptr<TByteStream> m_pendingStream;  // the ready stream Connect is to go on with
  TFramingReader m_framing;
  bool m_replySeen = false;     // a byte of the current reply has arrived
  bool m_locationSeen = false;  // the current reply carried a Location header
  bool m_inCommand = false;     // a command is running (its handlers run nested inside it)
  std::string m_cookieRedirectHost;
  bool m_statusLineSeen = false;  // the reply began with a status line
  bool m_secure = false;          // the URL's scheme is "https"; a URL without one keeps it
  std::string m_httpsCookie;      // the redirect cookie in HeaderInfo, when an HTTPS reply set it
};

}  // namespace toravin
