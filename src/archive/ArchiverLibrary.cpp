// dlopen with RTLD_NOW, so that a library whose own dependencies are missing fails at load time
// and counts as missing, rather than failing later in the middle of a call.
#include "archive/ArchiverLibrary.h"

#include <dlfcn.h>

#include <cctype>
#include <utility>

#include "platform/FileSystem.h"

namespace toravin {

LibrarySearch LibrarySearch::Default() {
  LibrarySearch s;
  std::string exeDir = ExecutableDirectory();
  if (!exeDir.empty()) s.directories.push_back(exeDir);
  s.systemPath = true;
  return s;
}

std::string SharedObjectName(std::string_view dllName) {
  std::string base(dllName);
  std::size_t dot = base.rfind('.');
  if (dot != std::string::npos) base.erase(dot);
  for (char& c : base) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return "lib" + base + ".so";
}

TArchiverLibrary::TArchiverLibrary(std::string dllName, LibrarySearch search)
    : m_dllName(std::move(dllName)), m_search(std::move(search)) {}

TArchiverLibrary::~TArchiverLibrary() { Release(); }

bool TArchiverLibrary::Load() {
  if (m_handle != nullptr) return true;
  const std::string file = SharedObjectName(m_dllName);
  for (const std::string& dir : m_search.directories) {
    std::string path = NativePath(dir);
    if (!path.empty() && path.back() != '/') path += '/';
    path += file;
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle != nullptr) {
      m_loadedFrom = path;
      return true;
    }
  }
  if (m_search.systemPath) {
    m_handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle != nullptr) {
      m_loadedFrom = file;
      return true;
    }
  }
  return false;
}

void TArchiverLibrary::Release() {
  if (m_handle == nullptr) return;
  dlclose(m_handle);
  m_handle = nullptr;
  m_loadedFrom.clear();
}

void* TArchiverLibrary::Symbol(const char* name) const {
  if (m_handle == nullptr) return nullptr;
  return dlsym(m_handle, name);
}

}  // namespace toravin
