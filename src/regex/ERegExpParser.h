// The exception raised for every fault in a pattern (and for the escape faults of subject and
// replacement texts). what() is the CP932 text shown to the user; ErrorPosition is the 1-based
// byte index of the next byte the scanner would have read, or 0 when no single place is at
// fault (the size limits of the automata).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace toravin {

class ERegExpParser : public std::runtime_error {
 public:
  ERegExpParser(const std::string& message, std::uint32_t position)
      : std::runtime_error(message), ErrorPosition(position) {}

  // Kept 32 bits wide (not 16) so that a fault beyond byte 65535 of a long line is still
  // reported at its true place.
  std::uint32_t ErrorPosition;
};

}  // namespace toravin
