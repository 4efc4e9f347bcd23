// Feeds arbitrary bytes to the gzip plug-in's decoder as a saved page: it must answer success or
// an error code, never crash or hang, and never leave an output file behind after an error. The
// output limit is kept small so that bombs are cut short quickly.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "GzipDecoder.h"

namespace {
constexpr std::uint64_t kFuzzOutputLimit = 1 << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz-gzdec-XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  const std::string in = dir + "/page.htm";
  const std::string out = in + "_extracted";
  if (std::FILE* f = std::fopen(in.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  toravin::gzdec::DecodeResult r = toravin::gzdec::DecodeFile(in, out, kFuzzOutputLimit);
  if (r.code != 0 && access(out.c_str(), F_OK) == 0) std::abort();
  if (r.outBytes > kFuzzOutputLimit) std::abort();
  std::remove(out.c_str());
  return 0;
}
