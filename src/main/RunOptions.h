// TRunOptions: the options kept beside ToraVin.ini in a small file of its own ("ToraVin.options"),
// so that the settings file stays as it is. One "Name=value" line each; a file that cannot be
// read, or a value out of range, gives the defaults.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// How links are found in a page: the two link patterns, or reading the page as HTML.
enum class LinkReader { Patterns, Html };

// How connections are used: one per file (HTTP/1.0, "Connection: close"), or kept open and used
// again for the next file from the same server (HTTP/1.1).
enum class ConnectionUse { Close, Keep };

// The switch and the mask of a kind of file beyond the settings file's four.
struct TKindOption {
  bool DownLoad = false;
  std::string Name;  // CP932, as the settings file's masks
  bool operator==(const TKindOption&) const = default;
};

struct TRunOptions {
  // Transfers at once when the user has not chosen a number: with a connection per file, and
  // with kept connections. There an HTTP/2 server's transfers are streams of its one connection,
  // and on links of 20-100 ms round trips 32 of them take about half the time 16 do; an HTTP/1.x
  // server gets at most kMaxConnectionsPerServer of them, one connection each.
  static constexpr int kDefaultParallel = 4;
  static constexpr int kDefaultParallelKeep = 32;
  static constexpr int kMaxParallel = 32;
  static constexpr int kMaxConnectionsPerServer = 8;
  // Transfers at once: the run's own and those fetched ahead of it (1: one at a time); 0 when not
  // chosen, following the connection use (TransfersAtOnce).
  int Parallel = 0;
  LinkReader Reader = LinkReader::Patterns;
  TKindOption Png{false, "*.png"};
  TKindOption Webp{false, "*.webp"};
  TKindOption Avif{false, "*.avif"};
  TKindOption Svg{false, "*.svg"};
  ConnectionUse Connection = ConnectionUse::Close;

  bool operator==(const TRunOptions&) const = default;

  // The number of transfers at once this run makes: the chosen one, or the default for `use`.
  static int DefaultParallel(ConnectionUse use) {
    return use == ConnectionUse::Keep ? kDefaultParallelKeep : kDefaultParallel;
  }
  int TransfersAtOnce() const { return Parallel > 0 ? Parallel : DefaultParallel(Connection); }

  // The options file beside the settings file `iniFileName` (core paths).
  static std::string FileBeside(std::string_view iniFileName);
  static TRunOptions Parse(std::string_view text);
  std::string Text() const;
  static TRunOptions Load(std::string_view path);
  bool Save(std::string_view path) const;
};

}  // namespace toravin
