// A plain TCP stream that reports which request it carries: every request sent is recorded with
// the paths of the other requests whose connections were open at that moment, so a test can see
// which transfers ran at the same time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/ByteStream.h"

namespace toravin::test {

struct SentRequest {
  std::string path;
  std::vector<std::string> openAlongside;  // paths of the other open requests
};

class StreamWatch {
 public:
  // A stream factory for THttpClient::StreamFactory whose streams report here.
  std::function<std::unique_ptr<TByteStream>()> Factory();
  const std::vector<SentRequest>& sent() const { return m_sent; }
  // The most requests for `path` that were open at once.
  int MostAtOnce(const std::string& path) const;

  void Opened(const std::string& path);
  void Closed(const std::string& path);

 private:
  std::multimap<std::string, int> m_open;  // path -> one entry per open request
  std::map<std::string, int> m_most;
  std::vector<SentRequest> m_sent;
};

}  // namespace toravin::test
