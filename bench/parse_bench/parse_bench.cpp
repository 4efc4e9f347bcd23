// Link extraction figures: ParseLinks over a generated page of 20 MB holding 200,000 image links,
// and over one of 40 MB with 400,000 links, to show the time grows in proportion to the page
// (targets: under 2 s, and at most 2.2 times that for the double page). Then the peak resident
// size of a process that decodes and parses a gzip-encoded page: a 64 MiB page of tags, 16 MiB of
// "<" alone, and a 250 MiB bomb of zeros, each in a child process of its own (targets: under
// 4x the decoded page + 50 MB, and under 400 MB for the bomb).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "main/MainForm.h"
#include "platform/RecordingDialogs.h"

using namespace toravin;

namespace {

std::string MakePage(int links, std::size_t bytes) {
  std::string page = "<html><head><title>gallery</title></head><body>\n";
  page.reserve(bytes + 1024);
  const std::size_t perLink = bytes / static_cast<std::size_t>(links);
  for (int i = 0; i < links; ++i) {
    std::size_t start = page.size();
    page += "<a href=\"v.php\"><img src=\"pics/img" + std::to_string(i) + ".jpg\" alt=\"\"></a>";
    static const std::string caption =
        "Caption text of the picture, in a few more words than before.";
    std::size_t used = page.size() - start;
    if (used + 1 < perLink) page.append(caption, 0, std::min(caption.size(), perLink - used - 1));
    page += '\n';
  }
  page += "</body></html>\n";
  return page;
}

double Parse(const std::string& page, int expectLinks, LinkReader reader) {
  TFormModel form;
  RecordingDialogs dialogs;
  TMainForm::Options options;
  options.iniFileName = "/nonexistent/ToraVin.ini";
  TMainForm mf(form, dialogs, options);
  mf.FormCreate();
  mf.Settings().JPGDownLoad = true;
  TRunOptions o = mf.RunOptions();
  o.Reader = reader;
  mf.SetRunOptions(o);
  auto t0 = std::chrono::steady_clock::now();
  mf.ParseLinks(page, false, "http://www.example.test/gallery/index.html");
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (mf.Settings().Count() != expectLinks) {
    std::printf("parse_bench: expected %d links, got %d\n", expectLinks, mf.Settings().Count());
  }
  return s;
}

// A gzip member made from `produce`, which appends the page's next piece and returns false when
// the page is complete: the whole page never exists in memory at once.
std::string GzipStream(const std::function<bool(std::string&)>& produce) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out, piece;
  char buf[1 << 16];
  bool more = true;
  while (more) {
    piece.clear();
    more = produce(piece);
    z.next_in = reinterpret_cast<Bytef*>(piece.data());
    z.avail_in = static_cast<uInt>(piece.size());
    do {
      z.next_out = reinterpret_cast<Bytef*>(buf);
      z.avail_out = sizeof buf;
      deflate(&z, more ? Z_NO_FLUSH : Z_FINISH);
      out.append(buf, sizeof buf - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  return out;
}

// Runs `row` in a child process and returns its peak resident size in MB.
double PeakMb(const std::function<void()>& row) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    row();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Parses the encoded page as the run does with an encoded reply (decoded through the plug-in).
void ParseEncoded(const std::string& gz, const char* what) {
  TFormModel form;
  RecordingDialogs dialogs;
  TMainForm::Options options;
  options.iniFileName = "/nonexistent/ToraVin.ini";
  TMainForm mf(form, dialogs, options);
  mf.FormCreate();
  mf.Settings().JPGDownLoad = true;
  mf.Settings().UseTar = true;
  mf.HttpClient1.Header = "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\n";
  mf.CurrentUrl = "http://www.example.test/gallery/index.html";
  auto t0 = std::chrono::steady_clock::now();
  mf.ParseLinks(gz, false, mf.CurrentUrl);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("parse_bench: %s: %d links, %.1f s\n", what, mf.Settings().Count(), s);
}

void MemoryRows() {
  constexpr std::size_t kMiB = 1u << 20;
  struct Row {
    const char* what;
    std::size_t decodedBytes;  // what the page decodes to (the bound cuts what is beyond it)
    std::function<bool(std::string&)> produce;
  };
  std::size_t made = 0;
  int link = 0;
  const Row rows[] = {
      {"64 MiB page of tags, one picture link in 100 lines", 64 * kMiB,
       [&](std::string& piece) {
         while (piece.size() < kMiB && made < 64 * kMiB - 200) {
           std::string line = ++link % 100 == 0 ? "<a href=\"v.php\"><img src=\"pics/img" +
                                                      std::to_string(link) + ".jpg\"></a>\n"
                                                : "<div><span>Caption text</span><br></div>\n";
           made += line.size();
           piece += line;
         }
         return made < 64 * kMiB - 200;
       }},
      {"16 MiB of \"<\"", 16 * kMiB,
       [&](std::string& piece) {
         piece.assign(kMiB, '<');
         made += kMiB;
         return made < 16 * kMiB;
       }},
      {"250 MiB bomb of zeros (cut at 64 MiB)", 64 * kMiB,
       [&](std::string& piece) {
         piece.assign(kMiB, '\0');
         made += kMiB;
         return made < 250 * kMiB;
       }},
  };
  for (const Row& row : rows) {
    made = 0;
    link = 0;
    const double peak = PeakMb([&] {
      const std::string gz = GzipStream(row.produce);
      std::printf("parse_bench: %s: %.2f MB encoded\n", row.what, gz.size() / 1048576.0);
      ParseEncoded(gz, row.what);
    });
    const double decodedMb = static_cast<double>(row.decodedBytes) / 1048576.0;
    const double target =
        row.decodedBytes == 64 * kMiB && row.what[0] == '2' ? 400.0 : 4 * decodedMb + 50;
    std::printf("parse_bench: %s: peak RSS %.0f MB (target < %.0f MB) %s\n", row.what, peak, target,
                peak < target ? "ok" : "TOO BIG");
  }
}

}  // namespace

int main() {
  MemoryRows();
  std::string page20 = MakePage(200000, 20u << 20);
  std::string page40 = MakePage(400000, 40u << 20);
  double best20 = 1e9, best40 = 1e9, html20 = 1e9, html40 = 1e9;
  for (int round = 0; round < 3; ++round) {
    best20 = std::min(best20, Parse(page20, 200000, LinkReader::Patterns));
    best40 = std::min(best40, Parse(page40, 400000, LinkReader::Patterns));
    html20 = std::min(html20, Parse(page20, 200000, LinkReader::Html));
    html40 = std::min(html40, Parse(page40, 400000, LinkReader::Html));
  }
  std::printf("parse_bench: %.1f MB page, 200,000 links: %.3f s (target < 2 s) %s\n",
              page20.size() / 1048576.0, best20, best20 < 2.0 ? "ok" : "SLOW");
  std::printf(
      "parse_bench: %.1f MB page, 400,000 links: %.3f s (%.2fx the 20 MB page; target "
      "<= 2.2x) %s\n",
      page40.size() / 1048576.0, best40, best40 / best20,
      best40 / best20 <= 2.2 ? "ok" : "NOT LINEAR");
  // The HTML reader on the same pages: within twice the patterns' time, and linear in size.
  std::printf("parse_bench: HTML reader, 20 MB page: %.3f s (%.2fx the patterns; target <= 2x) %s\n",
              html20, html20 / best20, html20 <= 2 * best20 ? "ok" : "SLOW");
  std::printf(
      "parse_bench: HTML reader, 40 MB page: %.3f s (%.2fx the patterns; %.2fx the 20 MB page; "
      "target <= 2x and <= 2.2x) %s\n",
      html40, html40 / best40, html40 / html20,
      html40 <= 2 * best40 && html40 / html20 <= 2.2 ? "ok" : "SLOW OR NOT LINEAR");
  return 0;
}
