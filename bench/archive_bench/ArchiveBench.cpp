// Compares the archiver plug-ins with gzip in one run on one corpus. Packing: every file of an
// HTML/text corpus (at least 50 MB in files of 5-500 KB) becomes one archive entry through the
// bridge, against `gzip -6` of each file; the archive must stay within 1.10x of gzip's summed
// sizes at no less than half its speed. JPEG files must never grow beyond their header.
// Decoding: the gzip files of the corpus through GzDec against `gzip -dc`, at 0.9x or better.
//
// Usage: archive_bench [corpus folder ...]   (default: /usr/share and /usr/include)
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/Archive.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;
using namespace toravin;

namespace {

constexpr std::uintmax_t kMinFileBytes = 5 * 1024;
constexpr std::uintmax_t kMaxFileBytes = 500 * 1024;
constexpr std::uintmax_t kCorpusBytes = 60ull * 1024 * 1024;  // at least 50 MB is required
constexpr std::uintmax_t kJpegBytes = 20ull * 1024 * 1024;
constexpr double kMaxSizeRatio = 1.10;
constexpr double kMinPackSpeed = 0.5;
constexpr double kMinDecodeSpeed = 0.9;

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool IsText(const fs::path& p) {
  static const char* const kExt[] = {".html", ".htm", ".h", ".hpp", ".txt", ".css", ".xml"};
  std::string e = p.extension().string();
  return std::any_of(std::begin(kExt), std::end(kExt), [&](const char* x) { return e == x; });
}

bool IsJpeg(const fs::path& p) {
  std::string e = p.extension().string();
  return e == ".jpg" || e == ".jpeg";
}

// Files of the wanted kind and size under `roots`, HTML first, in a stable order.
std::vector<std::string> Collect(const std::vector<std::string>& roots, bool jpeg,
                                 std::uintmax_t wanted) {
  std::vector<std::string> html, other;
  for (const std::string& root : roots) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(
             root, fs::directory_options::skip_permission_denied, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (ec) break;
      if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
      std::uintmax_t size = it->file_size(ec);
      if (ec || size < kMinFileBytes || size > kMaxFileBytes) continue;
      const fs::path& p = it->path();
      if (jpeg ? IsJpeg(p) : IsText(p)) {
        std::string e = p.extension().string();
        (e == ".html" || e == ".htm" ? html : other).push_back(p.string());
      }
    }
  }
  std::sort(html.begin(), html.end());
  std::sort(other.begin(), other.end());
  html.insert(html.end(), other.begin(), other.end());
  std::vector<std::string> out;
  std::uintmax_t total = 0;
  for (const std::string& f : html) {
    if (total >= wanted) break;
    out.push_back(f);
    total += fs::file_size(f);
  }
  return out;
}

std::uintmax_t Sum(const std::vector<std::string>& files) {
  std::uintmax_t s = 0;
  for (const auto& f : files) s += fs::file_size(f);
  return s;
}

int Shell(const std::string& cmd) {
  int st = std::system(cmd.c_str());
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Writes the file list for xargs.
std::string ListFile(const std::string& dir, const std::vector<std::string>& files) {
  std::string list = dir + "/list.txt";
  std::ofstream out(list);
  for (const auto& f : files) out << f << '\n';
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> roots;
  for (int i = 1; i < argc; ++i) roots.push_back(argv[i]);
  if (roots.empty()) roots = {"/usr/share", "/usr/include"};
  const std::string work =
      fs::temp_directory_path().string() + "/toravin-archive-bench-" + std::to_string(::getpid());
  fs::create_directories(work);

  std::vector<std::string> text = Collect(roots, false, kCorpusBytes);
  std::vector<std::string> jpegs = Collect(roots, true, kJpegBytes);
  const std::uintmax_t textBytes = Sum(text);
  std::printf("corpus: %zu text/HTML files, %.1f MB; %zu JPEG files, %.1f MB\n", text.size(),
              textBytes / 1e6, jpegs.size(), Sum(jpegs) / 1e6);
  if (textBytes < 50ull * 1000 * 1000) std::printf("WARNING: corpus below 50 MB\n");
  std::vector<std::string> bodies;
  bodies.reserve(text.size());
  for (const auto& f : text) bodies.push_back(ReadAll(f));

  TArchive archive;
  if (!archive.BeginPacking()) {
    std::printf("liblhapack.so not found\n");
    return 1;
  }
  // Packing, one entry per file, through the bridge's packing step.
  double t0 = Now();
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    auto r = archive.PackBody(work, "corpus", "f" + std::to_string(i) + ".htm", bodies[i], 30000);
    if (r.status != TArchive::PackStatus::kPacked) {
      std::printf("packing failed: %d\n", r.code);
      return 1;
    }
  }
  const double lhaSeconds = Now() - t0;
  const std::uintmax_t lhaBytes = fs::file_size(work + "/corpus.lzh");

  // gzip -6 of each file (one process, one member per file).
  const std::string list = ListFile(work, text);
  t0 = Now();
  Shell("xargs -d '\\n' gzip -6 -c < '" + list + "' > '" + work + "/all.gz'");
  const double gzSeconds = Now() - t0;
  const std::uintmax_t gzBytes = fs::file_size(work + "/all.gz");

  const double ratio = static_cast<double>(lhaBytes) / static_cast<double>(gzBytes);
  const double speed = gzSeconds / lhaSeconds;
  std::printf("pack   lhapack: %12ju bytes  %6.2f s  %6.1f MB/s\n", lhaBytes, lhaSeconds,
              textBytes / 1e6 / lhaSeconds);
  std::printf("pack   gzip -6: %12ju bytes  %6.2f s  %6.1f MB/s\n", gzBytes, gzSeconds,
              textBytes / 1e6 / gzSeconds);
  std::printf("pack   size %.3fx gzip (limit %.2fx), speed %.2fx gzip (floor %.2fx)\n", ratio,
              kMaxSizeRatio, speed, kMinPackSpeed);
  bool ok = ratio <= kMaxSizeRatio && speed >= kMinPackSpeed;

  // JPEG: no entry may grow beyond its input plus its header. Real JPEG files found under the
  // corpus folders come first; the rest, up to 20 MB, are stand-ins whose entropy-coded part is
  // random bytes (which is what JPEG data looks like to a compressor).
  std::vector<std::string> jpegBodies;
  for (const auto& f : jpegs) jpegBodies.push_back(ReadAll(f));
  std::uint64_t seed = 88172645463325252ull;
  for (std::uintmax_t total = Sum(jpegs); total < kJpegBytes;) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    std::string body = "\xFF\xD8\xFF\xE0";
    body.resize(kMinFileBytes + seed % (kMaxFileBytes - kMinFileBytes));
    for (std::size_t i = 4; i + 2 < body.size(); ++i) {
      seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
      body[i] = static_cast<char>(seed);
    }
    body[body.size() - 2] = '\xFF';
    body[body.size() - 1] = '\xD9';
    total += body.size();
    jpegBodies.push_back(std::move(body));
  }
  std::size_t grown = 0;
  for (std::size_t i = 0; i < jpegBodies.size(); ++i) {
    const std::string& body = jpegBodies[i];
    const std::string arc = work + "/jpeg.lzh";
    std::uintmax_t before = fs::exists(arc) ? fs::file_size(arc) : 0;
    auto r = archive.PackBody(work, "jpeg", "p" + std::to_string(i) + ".jpg", body, 30000);
    if (r.status != TArchive::PackStatus::kPacked) return 1;
    std::string head = ReadAll(arc).substr(before == 0 ? 0 : before - 1, 2);
    std::uintmax_t headerBytes =
        static_cast<unsigned char>(head[0]) | (static_cast<unsigned char>(head[1]) << 8);
    std::uintmax_t entry = fs::file_size(arc) - (before == 0 ? 1 : before);  // closing byte
    if (entry > body.size() + headerBytes) ++grown;
  }
  std::printf("jpeg   %zu entries (%zu real files), %zu larger than input + header\n",
              jpegBodies.size(), jpegs.size(), grown);
  ok = ok && grown == 0;

  // Decoding: one gzip file per corpus file.
  const std::string gzDir = work + "/gz";
  fs::create_directories(gzDir);
  std::vector<std::string> gzFiles;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::string g = gzDir + "/f" + std::to_string(i) + ".htm";
    Shell("gzip -6 -c '" + text[i] + "' > '" + g + "'");
    gzFiles.push_back(g);
  }
  // Best of three rounds each, alternating, after the disk has settled: the machine is shared
  // and write-back of the files just made would otherwise land on whichever runs first.
  const std::string gzList = ListFile(work, gzFiles);
  std::size_t decodeErrors = 0;
  double gzdecSeconds = 1e9;
  double gunzipSeconds = 1e9;
  for (int round = 0; round < 3; ++round) {
    Shell("sync");
    t0 = Now();
    for (const auto& g : gzFiles) {
      TArchive::DecodeResult r = archive.DecodeFile(g, 30000);
      if (r.status != TArchive::DecodeStatus::kDecoded) ++decodeErrors;
    }
    gzdecSeconds = std::min(gzdecSeconds, Now() - t0);
    Shell("sync");
    t0 = Now();
    Shell("xargs -d '\\n' gzip -dc < '" + gzList + "' > '" + work + "/all.out'");
    gunzipSeconds = std::min(gunzipSeconds, Now() - t0);
  }
  const double decodeSpeed = gunzipSeconds / gzdecSeconds;
  std::printf("decode gzdec:   %6.2f s  %6.1f MB/s out (%zu errors)\n", gzdecSeconds,
              textBytes / 1e6 / gzdecSeconds, decodeErrors);
  std::printf("decode gzip -dc:%6.2f s  %6.1f MB/s out\n", gunzipSeconds,
              textBytes / 1e6 / gunzipSeconds);
  std::printf("decode speed %.2fx gzip -dc (floor %.2fx)\n", decodeSpeed, kMinDecodeSpeed);
  ok = ok && decodeErrors == 0 && decodeSpeed >= kMinDecodeSpeed;

  fs::remove_all(work);
  std::printf("archive_bench: %s\n", ok ? "all targets met" : "TARGET MISSED");
  return ok ? 0 : 1;
}
