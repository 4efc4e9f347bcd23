// Thin forwarding; the fallbacks are the whole logic here.
#include "archive/LhaPack.h"

#include <limits>

#include "archive/ArchiverCommandLine.h"

namespace toravin {

TLhaPack::TLhaPack(LibrarySearch search) : m_library(kDllName, std::move(search)) {}

bool TLhaPack::GetRunning() const {
  auto fn = m_library.Function<abi::LhaPackGetRunningFn>(abi::kLhaPackGetRunning);
  return fn != nullptr && fn() != 0;
}

abi::ArcHandle TLhaPack::OpenArchive(std::string_view archivePath) const {
  auto fn = m_library.Function<abi::LhaPackOpenArchiveFn>(abi::kLhaPackOpenArchive);
  if (fn == nullptr) return 0;
  std::string quoted = ArchiverCommandLine::Quote(archivePath);
  return fn(m_window, quoted.c_str(), abi::kOpenArchiveMode);
}

int TLhaPack::FindFirst(abi::ArcHandle archive, std::string_view name) const {
  auto fn = m_library.Function<abi::LhaPackFindFirstFn>(abi::kLhaPackFindFirst);
  if (fn == nullptr) return kMissing;
  std::string n(name);
  return fn(archive, n.c_str(), nullptr);
}

int TLhaPack::CloseArchive(abi::ArcHandle archive) const {
  auto fn = m_library.Function<abi::LhaPackCloseArchiveFn>(abi::kLhaPackCloseArchive);
  return fn == nullptr ? 0 : fn(archive);
}

int TLhaPack::CompressMem(std::string_view commandLine, std::string_view data) const {
  auto fn = m_library.Function<abi::LhaPackCompressMemFn>(abi::kLhaPackCompressMem);
  if (fn == nullptr) return kMissing;
  // The library takes a 32-bit byte count; a larger body cannot be packed.
  if (data.size() > std::numeric_limits<std::uint32_t>::max()) return abi::kArcTooLarge;
  std::string line(commandLine);
  return fn(m_window, line.c_str(), data.data(), static_cast<std::uint32_t>(data.size()), nullptr,
            nullptr, nullptr);
}

}  // namespace toravin
