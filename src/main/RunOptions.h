// TRunOptions: the options kept beside ToraVin.ini in a small file of its own ("ToraVin.options"),
// so that the settings file stays as it is. One "Name=value" line each; a file that cannot be
// read, or a value out of range, gives the defaults.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

struct TRunOptions {
  static constexpr int kDefaultParallel = 4;
  static constexpr int kMaxParallel = 8;
  // Transfers at once: the run's own and those fetched ahead of it (1: one at a time).
  int Parallel = kDefaultParallel;

  // The options file beside the settings file `iniFileName` (core paths).
  static std::string FileBeside(std::string_view iniFileName);
  static TRunOptions Parse(std::string_view text);
  std::string Text() const;
  static TRunOptions Load(std::string_view path);
  bool Save(std::string_view path) const;
};

}  // namespace toravin
