// madvise(MADV_HUGEPAGE) on the aligned interior of the buffer; errors are ignored on purpose.
#include "platform/MemoryAdvice.h"

#include <sys/mman.h>

#include <cstdint>

namespace toravin {

void AdviseHugePages(void* data, std::size_t size) {
  if (data == nullptr || size < kHugePageAdviceMin) return;
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kHuge - 1);
  if (end <= begin) return;
#ifdef MADV_HUGEPAGE
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace toravin
