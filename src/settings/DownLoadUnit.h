// One pending file of the work list.
#pragma once

#include <cstdint>
#include <string>

namespace toravin {

struct TDownLoadUnit {
  std::string Url;         // as found in a page: absolute, or relative to the start page
  std::string Referer;     // the page it was found on; sent as the Referer header
  std::int32_t Tries = 0;  // failed attempts so far; not stored in the file
};

}  // namespace toravin
