// The exported entry points of liblhapack.so. CompressMem takes switches, the archive path and
// the entry path ("folder\name") and appends one entry, compressed with -lh5- or stored with
// -lh0- when compression does not make it smaller. Open/FindFirst/Close answer whether an archive
// holds an entry; handles are numbers into a table of open archives, so a stale or foreign
// handle is refused instead of being dereferenced.
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "Crc16.h"
#include "EntryPath.h"
#include "Lh5Encoder.h"
#include "LhaArchive.h"
#include "LhaHeader.h"
#include "archive/ArchiverAbi.h"
#include "archive/ArchiverCommandLine.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

#define TORAVIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using toravin::abi::ArcHandle;
namespace abi = toravin::abi;
namespace lha = toravin::lha;

int g_running = 0;

class RunningScope {
 public:
  RunningScope() { ++g_running; }
  ~RunningScope() { --g_running; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;
};

// Archives opened for searching: their entries as scanned at open time.
struct OpenArchive {
  std::shared_ptr<const lha::ArchiveIndex> index;
};

// Most archives open at one time; the program opens one, searches and closes it again.
constexpr std::size_t kMaxOpenArchives = 64;

std::map<ArcHandle, std::unique_ptr<OpenArchive>>& OpenArchives() {
  static std::map<ArcHandle, std::unique_ptr<OpenArchive>> table;
  return table;
}
ArcHandle g_nextHandle = 1;

// Switches of CompressMem: -d (store the folder part of the entry path), -gd (general
// defaults), -jm0 (store without compression), -jm1 .. -jm9 (compress; the default).
bool ParseSwitches(const std::vector<std::string>& switches, bool& storeOnly) {
  storeOnly = false;
  for (const std::string& s : switches) {
    if (s == "-d" || s == "-gd") continue;
    if (s.size() == 4 && s.compare(0, 3, "-jm") == 0 && s[3] >= '0' && s[3] <= '9') {
      storeOnly = s[3] == '0';
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

TORAVIN_EXPORT int LhaPackGetRunning() { return g_running; }

TORAVIN_EXPORT ArcHandle LhaPackOpenArchive(void* /*window*/, const char* archive,
                                            std::uint32_t /*mode*/) {
  if (archive == nullptr || g_running != 0) return 0;
  RunningScope running;
  if (OpenArchives().size() >= kMaxOpenArchives) return 0;
  std::string path = toravin::ArchiverCommandLine::Unquote(archive);
  auto index = lha::ScanArchive(toravin::NativePath(path));
  if (index->code != 0) return 0;
  auto open = std::make_unique<OpenArchive>();
  open->index = std::move(index);
  ArcHandle h = g_nextHandle++;
  OpenArchives()[h] = std::move(open);
  return h;
}

// Answers 0 when the archive holds `name`: a name with a folder part is compared with the whole
// stored path, a bare name with the stored file name; letters without regard to case.
TORAVIN_EXPORT int LhaPackFindFirst(ArcHandle archive, const char* name, void* /*info*/) {
  auto it = OpenArchives().find(archive);
  if (it == OpenArchives().end()) return abi::kArcBadHandle;
  if (name == nullptr) return abi::kArcNotFound;
  return it->second->index->Holds(name) ? abi::kArcOk : abi::kArcNotFound;
}

TORAVIN_EXPORT int LhaPackCloseArchive(ArcHandle archive) {
  return OpenArchives().erase(archive) == 1 ? abi::kArcOk : abi::kArcBadHandle;
}

TORAVIN_EXPORT int LhaPackCompressMem(void* /*window*/, const char* commandLine, const void* data,
                                      std::uint32_t size, void*, void*, void*) {
  if (g_running != 0) return abi::kArcBusy;
  RunningScope running;
  auto line = toravin::ArchiverCommandLine::Parse(commandLine == nullptr ? "" : commandLine);
  bool storeOnly = false;
  if (!line || line->words.size() != 2 || !ParseSwitches(line->switches, storeOnly) ||
      (data == nullptr && size != 0)) {
    return abi::kArcCommandLine;
  }
  lha::NewEntry entry;
  if (!lha::SafeEntryPath(line->words[1], entry.folder, entry.name) ||
      entry.name.size() > lha::kMaxNameBytes || entry.folder.size() > lha::kMaxNameBytes) {
    return abi::kArcCommandLine;
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  entry.crc = lha::Crc16::Of(bytes, size);
  entry.originalSize = size;
  entry.unixTime = static_cast<std::uint32_t>(std::time(nullptr));
  // The compressed bits go straight into the archive behind the header, so a large body is
  // packed in little memory. Data that does not get smaller is stored as it is instead, over
  // what was written of it.
  return lha::AppendEntry(
      toravin::NativePath(line->words[0]), entry, [&](std::FILE* f) -> std::int64_t {
        const off_t start = ftello(f);
        if (!storeOnly && start >= 0) {
          std::uint64_t written = 0;
          bool failed = false;
          auto write = [&](std::string_view piece) {
            failed = std::fwrite(piece.data(), 1, piece.size(), f) != piece.size();
            written += piece.size();
            return !failed;
          };
          if (lha::EncodeLh5To(bytes, size, write, size)) {
            entry.method = "-lh5-";
            entry.packedSize = static_cast<std::uint32_t>(written);
            return static_cast<std::int64_t>(written);
          }
          if (failed || fseeko(f, start, SEEK_SET) != 0) return -1;
        }
        entry.method = "-lh0-";
        entry.packedSize = size;
        return std::fwrite(bytes, 1, size, f) == size ? static_cast<std::int64_t>(size) : -1;
      });
}
