// A stand-in archiver plug-in for the bridge's tests, built in several variants: one whose busy
// checks always answer busy, and one per entry point that leaves exactly that entry point out.
// Every call is written to a log that the tests read through an extra entry point, so they can
// see which calls the bridge made and which it held back.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/ArchiverAbi.h"
#include "archive/ArchiverCommandLine.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef STUB_BUSY
#define STUB_BUSY 0
#endif

namespace {

std::string& Log() {
  static std::string log;
  return log;
}

}  // namespace

// What the stub answers where the real plug-ins would look at files: an archive handle of 42,
// "found" for every search, success for packing, and a fixed decoded page.
inline constexpr toravin::abi::ArcHandle kStubHandle = 42;
inline constexpr const char kStubPage[] = "<HTML>stub page</HTML>";

STUB_EXPORT const char* StubLog() { return Log().c_str(); }
STUB_EXPORT void StubClearLog() { Log().clear(); }

#if !defined(STUB_OMIT_LhaPackGetRunning)
STUB_EXPORT int LhaPackGetRunning() {
  Log() += "LhaPackGetRunning;";
  return STUB_BUSY;
}
#endif

#if !defined(STUB_OMIT_LhaPackOpenArchive)
STUB_EXPORT toravin::abi::ArcHandle LhaPackOpenArchive(void*, const char* archive,
                                                       std::uint32_t mode) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(mode));
  Log() += std::string("LhaPackOpenArchive(") + archive + "," + buf + ");";
  return kStubHandle;
}
#endif

#if !defined(STUB_OMIT_LhaPackFindFirst)
STUB_EXPORT int LhaPackFindFirst(toravin::abi::ArcHandle h, const char* name, void*) {
  Log() += "LhaPackFindFirst(" + std::to_string(h) + "," + name + ");";
  return 0;
}
#endif

#if !defined(STUB_OMIT_LhaPackCloseArchive)
STUB_EXPORT int LhaPackCloseArchive(toravin::abi::ArcHandle h) {
  Log() += "LhaPackCloseArchive(" + std::to_string(h) + ");";
  return 0;
}
#endif

#if !defined(STUB_OMIT_LhaPackCompressMem)
STUB_EXPORT int LhaPackCompressMem(void*, const char* line, const void*, std::uint32_t size, void*,
                                   void*, void*) {
  Log() += std::string("LhaPackCompressMem(") + line + "," + std::to_string(size) + ");";
  return 0;
}
#endif

#if !defined(STUB_OMIT_GzDecGetRunning)
STUB_EXPORT int GzDecGetRunning() {
  Log() += "GzDecGetRunning;";
  return STUB_BUSY;
}
#endif

#if !defined(STUB_OMIT_GzDec)
STUB_EXPORT int GzDec(void*, const char* line, char* output, std::uint32_t size) {
  Log() += std::string("GzDec(") + line + ");";
  auto parsed = toravin::ArchiverCommandLine::Parse(line);
  if (parsed && parsed->words.size() == 2) {
    std::string out = parsed->words[1] + "_extracted";
    if (std::FILE* f = std::fopen(out.c_str(), "wb")) {
      std::fputs(kStubPage, f);
      std::fclose(f);
    }
  }
  std::snprintf(output, size, "stub");
  return 0;
}
#endif
