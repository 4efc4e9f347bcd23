// The program's operator new and delete, counting through malloc_usable_size.
#include "AllocationMeter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> g_held{0};
std::atomic<std::size_t> g_peak{0};
std::atomic<std::size_t> g_base{0};

void* Allocate(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  std::size_t held = g_held.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
  std::size_t peak = g_peak.load();
  while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
  }
  return p;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  g_held.fetch_sub(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace toravin::test {

void ResetAllocationPeak() {
  g_base = g_held.load();
  g_peak = g_held.load();
}

std::size_t AllocationPeak() { return g_peak.load() - g_base.load(); }

}  // namespace toravin::test
