// Where a reply body goes when it is not held in memory: the HTTP client hands each block that
// arrives to the sink, in order, and keeps counting the bytes as usual.
#pragma once

#include <cstddef>

namespace toravin {

class TBodySink {
 public:
  virtual ~TBodySink() = default;
  // The next `size` bytes of the body. A sink that cannot keep them records that and goes on
  // taking bytes, so the transfer itself ends as it would have.
  virtual void Write(const char* bytes, std::size_t size) = 0;
};

}  // namespace toravin
