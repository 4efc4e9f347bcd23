// The LHA library's entry points as typed calls, with the answers the program relies on when the
// library or one entry point is missing: the busy check reports free, open and close give 0,
// search and pack give -1. Every call looks its entry point up anew.
#pragma once

#include <string>
#include <string_view>

#include "archive/ArchiverAbi.h"
#include "archive/ArchiverLibrary.h"

namespace toravin {

class TLhaPack {
 public:
  static constexpr const char kDllName[] = "LHAPACK.DLL";
  static constexpr int kMissing = -1;

  explicit TLhaPack(LibrarySearch search = LibrarySearch::Default());

  bool Load() { return m_library.Load(); }
  void Release() { m_library.Release(); }
  bool Loaded() const { return m_library.Loaded(); }
  TArchiverLibrary& Library() { return m_library; }

  // The application's main window handle, passed first where an entry point takes one.
  void SetWindow(void* window) { m_window = window; }

  bool GetRunning() const;
  // `archivePath` is passed in double quotes, with the program's open mode.
  abi::ArcHandle OpenArchive(std::string_view archivePath) const;
  int FindFirst(abi::ArcHandle archive, std::string_view name) const;
  int CloseArchive(abi::ArcHandle archive) const;
  int CompressMem(std::string_view commandLine, std::string_view data) const;

 private:
  TArchiverLibrary m_library;
  void* m_window = nullptr;
};

}  // namespace toravin
