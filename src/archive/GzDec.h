// The gzip library's entry points as typed calls, with the answers the program relies on when
// the library or an entry point is missing: the busy check reports free and a decode gives -1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/ArchiverLibrary.h"

namespace toravin {

class TGzDec {
 public:
  static constexpr const char kDllName[] = "GzDec.DLL";
  static constexpr int kMissing = -1;
  // Size of the text buffer the library writes its messages into.
  static constexpr std::size_t kOutputBufferSize = 1024;

  explicit TGzDec(LibrarySearch search = LibrarySearch::Default());

  bool Load() { return m_library.Load(); }
  void Release() { m_library.Release(); }
  bool Loaded() const { return m_library.Loaded(); }
  TArchiverLibrary& Library() { return m_library; }

  void SetWindow(void* window) { m_window = window; }

  bool GetRunning() const;
  // Decoded pages are cut at `bytes` (0: never). False when the library cannot cut.
  bool SetOutputCut(std::uint64_t bytes) const;
  // Runs `commandLine`; `output` receives the library's message text. 0 on success.
  int GzDec(std::string_view commandLine, std::string* output = nullptr) const;

 private:
  TArchiverLibrary m_library;
  void* m_window = nullptr;
};

}  // namespace toravin
