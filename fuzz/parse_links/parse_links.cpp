// Any bytes as a fetched page: link extraction never crashes, never reads past the page, and
// every queued link is one a page can name (no line breaks); URL normalisation of any text ends.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "main/MainForm.h"
#include "main/UrlRules.h"
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
    return &instance;
  }();
  std::string_view page(reinterpret_cast<const char*>(data), size);
  mf->Settings().ClearItems();
  dialogs.clear();
  const bool startPage = size > 0 && (data[0] & 1);
  mf->ParseLinks(page, startPage, "http://h/d/p.html");
  for (int i = 0; i < mf->Settings().Count(); ++i) {
    const std::string& url = mf->Settings().Item(i).Url;
    if (url.find_first_of("\r\n") != std::string::npos) std::abort();
  }
  std::string normal = NormalizeUrl(page);
  if (normal.size() > page.size()) std::abort();
  return 0;
}
