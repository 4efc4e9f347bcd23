#include "main/RunOptions.h"

#include "main/TextUtil.h"
#include "platform/FileSystem.h"

namespace toravin {

std::string TRunOptions::FileBeside(std::string_view iniFileName) {
  std::size_t cut = iniFileName.find_last_of("\\/");
  std::string dir(cut == std::string_view::npos ? std::string_view()
                                                : iniFileName.substr(0, cut + 1));
  return dir + "ToraVin.options";
}

TRunOptions TRunOptions::Parse(std::string_view text) {
  TRunOptions options;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (Trim(line.substr(0, eq)) != "Parallel") continue;
    long long n = 0;
    if (TryStrToInt(Trim(line.substr(eq + 1)), n) && n >= 1 && n <= kMaxParallel) {
      options.Parallel = static_cast<int>(n);
    }
  }
  return options;
}

std::string TRunOptions::Text() const { return "Parallel=" + std::to_string(Parallel) + "\r\n"; }

TRunOptions TRunOptions::Load(std::string_view path) {
  std::optional<std::string> text = ReadWholeFile(path);
  return text ? Parse(*text) : TRunOptions();
}

bool TRunOptions::Save(std::string_view path) const { return WriteFileReplacing(path, Text()); }

}  // namespace toravin
