// The exceptions of the network layer. ESockError carries the text of a transport failure exactly
// as the user sees it; EAbortError marks an operation that was cancelled or timed out, so that
// callers can tell a stopped transfer from a broken one.
#pragma once

#include <stdexcept>
#include <string>

namespace toravin {

class ESockError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class EAbortError : public ESockError {
 public:
  using ESockError::ESockError;
};

}  // namespace toravin
