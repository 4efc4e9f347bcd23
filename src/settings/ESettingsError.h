// The error raised when the settings file cannot be read or written. what() is the CP932 text
// that the program shows in its error box.
#pragma once

#include <stdexcept>
#include <string>

namespace toravin {

class ESettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised when a work-list index does not name an entry.
class EListError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

}  // namespace toravin
