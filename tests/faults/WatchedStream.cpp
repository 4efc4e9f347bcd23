#include "WatchedStream.h"

#include <algorithm>

#include "net/TcpStream.h"

namespace toravin::test {
namespace {

class WatchedStream : public TByteStream {
 public:
  explicit WatchedStream(StreamWatch& watch) : m_watch(watch) {}
  ~WatchedStream() override { Forget(); }
  bool IsOpen() const override { return m_tcp.IsOpen(); }
  int Connect(std::uint32_t address, std::uint16_t port) override {
    return m_tcp.Connect(address, port);
  }
  int PollConnect(int ms) override { return m_tcp.PollConnect(ms); }
  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override {
    return m_tcp.Receive(buffer, size, peek);
  }
  std::int64_t Send(const char* buffer, std::size_t size) override {
    if (m_path.empty()) {
      const std::string_view text(buffer, size);
      const std::size_t space = text.find(' ');
      const std::size_t end = text.find(' ', space + 1);
      if (space != std::string_view::npos && end != std::string_view::npos) {
        m_path = std::string(text.substr(space + 1, end - space - 1));
        m_watch.Opened(m_path);
      }
    }
    return m_tcp.Send(buffer, size);
  }
  bool WaitReadable(int ms) override { return m_tcp.WaitReadable(ms); }
  bool WaitWritable(int ms) override { return m_tcp.WaitWritable(ms); }
  void Close() override {
    Forget();
    m_tcp.Close();
  }

 private:
  void Forget() {
    if (!m_path.empty()) m_watch.Closed(m_path);
    m_path.clear();
  }
  StreamWatch& m_watch;
  TTcpStream m_tcp;
  std::string m_path;
};

}  // namespace

std::function<std::unique_ptr<TByteStream>()> StreamWatch::Factory() {
  return [this] { return std::make_unique<WatchedStream>(*this); };
}

void StreamWatch::Opened(const std::string& path) {
  SentRequest r{path, {}};
  for (const auto& [p, n] : m_open) r.openAlongside.push_back(p);
  m_sent.push_back(std::move(r));
  m_open.emplace(path, 0);
  m_most[path] = std::max(m_most[path], static_cast<int>(m_open.count(path)));
}

void StreamWatch::Closed(const std::string& path) {
  auto it = m_open.find(path);
  if (it != m_open.end()) m_open.erase(it);
}

int StreamWatch::MostAtOnce(const std::string& path) const {
  auto it = m_most.find(path);
  return it == m_most.end() ? 0 : it->second;
}

}  // namespace toravin::test
