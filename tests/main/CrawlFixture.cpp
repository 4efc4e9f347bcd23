// The fixture's site answers 404 for every path it was not given.
#include "CrawlFixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"

namespace toravin::test {

namespace {

// A reply sent at once and whole, with the length it announces, as the same reply of an HTTP/1.1
// server that keeps the connection open; any other script stays as it is.
ScriptedReply KeptOpen(ScriptedReply reply) {
  if (reply.steps.size() != 1 || reply.steps[0].kind != ScriptedReply::Step::Kind::Send) {
    return reply;
  }
  std::string& bytes = reply.steps[0].bytes;
  const std::size_t end = bytes.find("\r\n\r\n");
  const std::size_t cl = bytes.find("\r\nContent-Length: ");
  if (!bytes.starts_with("HTTP/1.0 ") || end == std::string::npos || cl == std::string::npos ||
      cl > end) {
    return reply;
  }
  const std::size_t announced = std::stoul(bytes.substr(cl + 18));
  if (announced != bytes.size() - end - 4) return reply;
  bytes[7] = '1';
  reply.keepOpen = true;
  return reply;
}

// The request as a connection-per-file run sends it: the version differs, and the close asked
// for by the line the run adds before User-Agent.
std::string AsHttp10(std::string request) {
  const std::size_t eol = request.find("\r\n");
  if (eol != std::string::npos && eol >= 9 && request.compare(eol - 9, 9, " HTTP/1.1") == 0) {
    request[eol - 1] = '0';
    const std::size_t agent = request.find("\r\nUser-Agent: ");
    if (agent != std::string::npos && request.find("\r\nConnection: ") == std::string::npos) {
      request.insert(agent, "\r\nConnection: close");
    }
  }
  return request;
}

}  // namespace

void CrawlFixture::SetUp() {
  char cwd[4096];
  m_oldCwd = getcwd(cwd, sizeof cwd) ? cwd : "/";
  ASSERT_EQ(chdir(tmp.path().c_str()), 0);
  saveDir = tmp.File("save");
  ASSERT_EQ(mkdir(saveDir.c_str(), 0777), 0);
  iniFile = tmp.File("ToraVin.ini");
  if (keep) parallel = 4;
  if (const char* n = std::getenv("TORAVIN_CRAWL_PARALLEL")) parallel = std::atoi(n);
  server.SetRouter([this](const std::string& request) {
    return keep ? KeptOpen(Route(request)) : Route(request);
  });
  Restart();
}

bool CrawlFixture::KeepFromEnvironment() {
  const char* c = std::getenv("TORAVIN_CRAWL_CONNECTION");
  return c && std::string_view(c) == "keep";
}

void CrawlFixture::TearDown() {
  SetMessagePump(nullptr);
  mf.reset();
  // The router reads the site and the counts below: no server thread may run it past this point.
  server.Stop();
  if (chdir(m_oldCwd.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << m_oldCwd;
}

void CrawlFixture::Restart() {
  if (mf) mf->FormDestroy();
  mf.reset();
  form = std::make_unique<TFormModel>();
  form->onStatusText = [this](const std::string& text) { statuses.push_back(Cp932ToUtf8(text)); };
  TMainForm::Options options;
  options.timings = timings;
  options.iniFileName = iniFile;
  options.librarySearch = LibrarySearch{{ExecutableDirectory()}, false};
  mf = std::make_unique<TMainForm>(*form, dialogs, options);
  mf->FormCreate();
  mf->SetParallelTransfers(parallel);
  if (keep || mf->RunOptions().Connection != ConnectionUse::Close) {
    TRunOptions o = mf->RunOptions();
    o.Connection = keep ? ConnectionUse::Keep : ConnectionUse::Close;
    mf->SetRunOptions(o);
  }
  form->DirectoryEdit.Text = saveDir;
}

ScriptedReply CrawlFixture::Route(const std::string& request) {
  std::string path = RequestPath(request);
  std::function<ScriptedReply(int)> make;
  int hit;
  {
    std::lock_guard lock(m_mutex);
    hit = ++m_hits[path];
    m_requests[path].push_back(keep ? AsHttp10(request) : request);
    auto it = m_site.find(path);
    if (it != m_site.end()) make = it->second;
  }
  if (!make)
    return ScriptedReply::Http(404, "<html>not found</html>", "Content-Type: text/html\r\n");
  return make(hit);
}

void CrawlFixture::Serve(const std::string& path, ScriptedReply reply) {
  ServeWith(path, [reply](int) { return reply; });
}

void CrawlFixture::ServeWith(const std::string& path, std::function<ScriptedReply(int)> make) {
  std::lock_guard lock(m_mutex);
  m_site[path] = std::move(make);
}

void CrawlFixture::Page(const std::string& path, const std::string& html,
                        const std::string& headers) {
  Serve(path, ScriptedReply::Http(200, html, "Content-Type: text/html\r\n" + headers));
}

void CrawlFixture::File(const std::string& path, const std::string& body, const std::string& type) {
  Serve(path, ScriptedReply::Http(200, body, "Content-Type: " + type + "\r\n"));
}

void CrawlFixture::Download() {
  mf->Guarded([this] { mf->DownLoadButtonClick(); });
}

void CrawlFixture::Continue() {
  mf->Guarded([this] { mf->ContinueButtonClick(); });
}

int CrawlFixture::Hits(const std::string& path) {
  std::lock_guard lock(m_mutex);
  return m_hits[path];
}

std::vector<std::string> CrawlFixture::RequestsFor(const std::string& path) {
  std::lock_guard lock(m_mutex);
  return m_requests[path];
}

std::vector<std::string> CrawlFixture::SavedFiles() const { return ListDirectory(saveDir); }

std::string CrawlFixture::Saved(const std::string& name) const {
  return ReadFileBytes(saveDir + "/" + name);
}

std::vector<std::string> CrawlFixture::Boxes() const {
  std::vector<std::string> out;
  for (const std::string& t : dialogs.BoxTexts()) out.push_back(Cp932ToUtf8(t));
  return out;
}

bool CrawlFixture::StatusSeen(const std::string& utf8) const {
  return std::find(statuses.begin(), statuses.end(), utf8) != statuses.end();
}

std::vector<std::string> CrawlFixture::Pending() const {
  std::vector<std::string> urls;
  for (int i = 0; i < mf->Settings().Count(); ++i) urls.push_back(mf->Settings().Item(i).Url);
  return urls;
}

std::string Gzip(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(data.size() + 1024, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace toravin::test
