// Any bytes as a fetched page read by the HTML reader: it never crashes, and every queued link is
// an absolute http or https URL without a fragment or a line break. The first byte picks the
// start-page flag and the charset the page is read in.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "main/HtmlLinkReader.h"
#include "main/MainForm.h"
#include "platform/RecordingDialogs.h"

using namespace toravin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TFormModel form;
  static RecordingDialogs dialogs;
  static TMainForm* mf = [] {
    TMainForm::Options options;
    options.iniFileName = "/nonexistent/ToraVin.ini";
    static TMainForm instance(form, dialogs, options);
    instance.FormCreate();
    TToraVinIniList& s = instance.Settings();
    s.JPGDownLoad = s.GIFDownLoad = s.ZIPDownLoad = s.HTMLDownLoad = true;
    TRunOptions o = instance.RunOptions();
    o.Reader = LinkReader::Html;
    o.Png.DownLoad = o.Webp.DownLoad = o.Avif.DownLoad = o.Svg.DownLoad = true;
    instance.SetRunOptions(o);
    return &instance;
  }();
  if (size == 0) return 0;
  std::string_view page(reinterpret_cast<const char*>(data) + 1, size - 1);
  mf->Settings().ClearItems();
  dialogs.clear();
  mf->ParseLinks(page, data[0] & 1, "http://h/d/p.html");
  for (int i = 0; i < mf->Settings().Count(); ++i) {
    const std::string& url = mf->Settings().Item(i).Url;
    const bool absolute = url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
    if (!absolute || url.find_first_of("\r\n\t#") != std::string::npos) std::abort();
  }
  static constexpr NameCharset kCharsets[] = {NameCharset::Unknown, NameCharset::Utf8,
                                              NameCharset::ShiftJis, NameCharset::EucJp};
  ReadHtmlLinks(page, kCharsets[(data[0] >> 1) & 3]);
  return 0;
}
