// The texts the user sees when an archiver library is missing, busy or fails, as CP932.
#pragma once

#include <cstdint>
#include <string>

namespace toravin {

// LHA library missing at run start (beep, plain box).
const std::string& LhaPackMissingText();
// gzip library missing while a page is encoded (beep, plain box).
const std::string& GzDecMissingText();
// gzip library still busy after the wait (plain box, no beep).
const std::string& GzDecBusyText();
// Decoding failed with `code` (beep, plain box): the code as eight upper-case hex digits.
std::string GzDecFailedText(std::int32_t code);

}  // namespace toravin
