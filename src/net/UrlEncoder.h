// TUrlEncoder: turns the data of a form post into URL-encoded text. Letters and digits pass,
// a blank becomes "+", every other byte (each byte of a double-byte character too) becomes
// "%" and two upper-case hex digits. Inputs of any length are encoded (a size_t counter).
#pragma once

#include <functional>
#include <string>

namespace toravin {

class TUrlEncoder {
 public:
  using TOnErrorEvent = std::function<void(TUrlEncoder& sender, const std::string& operation,
                                           const std::string& msg)>;

  std::string InputString;
  TOnErrorEvent OnError;

  // The encoded form of InputString; on a failure OnError fires and InputString comes back as is.
  std::string Encode();
};

}  // namespace toravin
