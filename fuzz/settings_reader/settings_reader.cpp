// Any bytes as a settings file: the reader either loads them or raises its fault text, never
// reads past the end; a file that loads writes out to an image that loads to the same store.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/LineList.h"
#include "settings/ESettingsError.h"
#include "settings/ToraVinIniList.h"

using namespace toravin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LineList memo;
  TToraVinIniList store(&memo);
  std::string_view image(reinterpret_cast<const char*>(data), size);
  bool loaded = true;
  try {
    store.LoadFromBytes(image);
  } catch (const ESettingsError&) {
    loaded = false;
  }
  if (memo.Count() != store.Count()) std::abort();
  if (!loaded) return 0;
  std::string written = store.SaveToBytes();
  TToraVinIniList again;
  again.LoadFromBytes(written);  // must not throw
  if (again.SaveToBytes() != written) std::abort();
  return 0;
}
