// One archiver library loaded at run time by its Windows-style name. "LHAPACK.DLL" maps to
// liblhapack.so and "GzDec.DLL" to libgzdec.so; the library is looked for in the executable's
// directory first, then on the system's library path. Entry points are looked up by name at
// every call, so a library that lacks one still serves the others.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace toravin {

// Where libraries are looked for. Tests point it at a folder of their own and switch the
// system path off, so that no installed library can stand in for the one under test.
struct LibrarySearch {
  std::vector<std::string> directories;  // CP932 paths, tried in order
  bool systemPath = true;                // then dlopen by bare file name

  // The executable's directory, then the system path.
  static LibrarySearch Default();
};

// "LHAPACK.DLL" -> "liblhapack.so": the base name in lower case between "lib" and ".so".
std::string SharedObjectName(std::string_view dllName);

class TArchiverLibrary {
 public:
  TArchiverLibrary(std::string dllName, LibrarySearch search);
  ~TArchiverLibrary();
  TArchiverLibrary(const TArchiverLibrary&) = delete;
  TArchiverLibrary& operator=(const TArchiverLibrary&) = delete;

  // Loads the library unless it is loaded already. Returns whether it is loaded.
  bool Load();
  // Unloads it; harmless when it is not loaded.
  void Release();
  bool Loaded() const { return m_handle != nullptr; }

  // The entry point `name`, looked up now; null when the library is not loaded or lacks it.
  void* Symbol(const char* name) const;
  template <class Fn>
  Fn Function(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }

  const std::string& DllName() const { return m_dllName; }
  // The file that was loaded (native path, or the bare name from the system path).
  const std::string& LoadedFrom() const { return m_loadedFrom; }

 private:
  std::string m_dllName;
  LibrarySearch m_search;
  void* m_handle = nullptr;
  std::string m_loadedFrom;
};

}  // namespace toravin
