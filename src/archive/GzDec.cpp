// Thin forwarding; the output buffer is ours and is always terminated, whatever the library left.
#include "archive/GzDec.h"

#include <array>
#include <cstring>

#include "archive/ArchiverAbi.h"

namespace toravin {

TGzDec::TGzDec(LibrarySearch search) : m_library(kDllName, std::move(search)) {}

bool TGzDec::GetRunning() const {
  auto fn = m_library.Function<abi::GzDecGetRunningFn>(abi::kGzDecGetRunning);
  return fn != nullptr && fn() != 0;
}

bool TGzDec::SetOutputCut(std::uint64_t bytes) const {
  auto fn = m_library.Function<abi::GzDecSetOutputCutFn>(abi::kGzDecSetOutputCut);
  if (fn == nullptr) return false;
  fn(bytes);
  return true;
}

int TGzDec::GzDec(std::string_view commandLine, std::string* output) const {
  if (output != nullptr) output->clear();
  auto fn = m_library.Function<abi::GzDecFn>(abi::kGzDec);
  if (fn == nullptr) return kMissing;
  std::array<char, kOutputBufferSize> buffer{};
  std::string line(commandLine);
  int rc = fn(m_window, line.c_str(), buffer.data(), static_cast<std::uint32_t>(buffer.size()));
  buffer.back() = '\0';
  if (output != nullptr) output->assign(buffer.data(), std::strlen(buffer.data()));
  return rc;
}

}  // namespace toravin
