// One pass over the bytes with a reserved output; the only possible failure is running out of
// memory, which is reported through OnError as the component always did.
#include "net/UrlEncoder.h"

#include <exception>

namespace toravin {

std::string TUrlEncoder::Encode() {
  static constexpr char kHex[] = "0123456789ABCDEF";
  try {
    std::string out;
    out.reserve(InputString.size() * 3);
    for (char ch : InputString) {
      unsigned char c = static_cast<unsigned char>(ch);
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
        out += ch;
      } else if (c == ' ') {
        out += '+';
      } else {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
    }
    return out;
  } catch (const std::exception& e) {
    if (OnError) OnError(*this, "Error during encode", e.what());
    return InputString;
  }
}

}  // namespace toravin
