// Link extraction figures: ParseLinks over a generated page of 20 MB holding 200,000 image links,
// and over one of 40 MB with 400,000 links, to show the time grows in proportion to the page
// (targets: under 2 s, and at most 2.2 times that for the double page).
#include <chrono>
#include <cstdio>
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

}  // namespace

int main() {
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
