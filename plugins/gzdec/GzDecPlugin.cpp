// The exported entry points of libgzdec.so. A call takes the command line "x[options]" followed
// by the quoted path of a saved page, decodes that file into the path followed by "_extracted",
// and leaves one line of text in the caller's output buffer. The plug-in is single-threaded like
// its caller; the running flag only reports a call that is still inside the decoder.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "GzipDecoder.h"
#include "archive/ArchiverAbi.h"
#include "archive/ArchiverCommandLine.h"
#include "platform/FileSystem.h"

#define TORAVIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int g_running = 0;
std::uint64_t g_outputLimit = toravin::gzdec::kDefaultOutputLimit;
std::uint64_t g_outputCut = 0;

// Letters the first word may hold; "x" (extract) is required.
constexpr const char kOptionLetters[] = "xvfGz";

void CopyMessage(const std::string& text, char* output, std::uint32_t outputSize) {
  if (output == nullptr || outputSize == 0) return;
  std::size_t n = std::min<std::size_t>(text.size(), outputSize - 1);
  std::memcpy(output, text.data(), n);
  output[n] = '\0';
}

class RunningScope {
 public:
  RunningScope() { ++g_running; }
  ~RunningScope() { --g_running; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;
};

}  // namespace

TORAVIN_EXPORT int GzDecGetRunning() { return g_running; }

TORAVIN_EXPORT std::uint64_t GzDecSetOutputLimit(std::uint64_t limit) {
  std::uint64_t old = g_outputLimit;
  g_outputLimit = limit == 0 ? toravin::gzdec::kDefaultOutputLimit : limit;
  return old;
}

TORAVIN_EXPORT std::uint64_t GzDecSetOutputCut(std::uint64_t bytes) {
  return std::exchange(g_outputCut, bytes);
}

TORAVIN_EXPORT int GzDec(void* /*window*/, const char* commandLine, char* output,
                         std::uint32_t outputSize) {
  using namespace toravin;
  if (g_running != 0) {
    CopyMessage("gzdec: busy", output, outputSize);
    return abi::kArcBusy;
  }
  RunningScope running;
  auto line = ArchiverCommandLine::Parse(commandLine == nullptr ? "" : commandLine);
  bool ok = line && line->switches.empty() && line->words.size() == 2 &&
            line->words[0].find('x') != std::string::npos &&
            line->words[0].find_first_not_of(kOptionLetters) == std::string::npos &&
            !line->words[1].empty();
  if (!ok) {
    CopyMessage("gzdec: usage: x[vfGz] \"file\"", output, outputSize);
    return abi::kArcCommandLine;
  }
  const std::string& path = line->words[1];
  gzdec::DecodeResult r = gzdec::DecodeFile(NativePath(path), NativePath(path + "_extracted"),
                                            g_outputLimit, g_outputCut);
  CopyMessage(r.message, output, outputSize);
  return r.code;
}
