// The file is read line by line: an unknown key, a line without "=" or a value out of range is
// passed over, so a damaged file costs only the options it damaged.
#include "main/RunOptions.h"

#include "main/TextUtil.h"
#include "platform/FileSystem.h"

namespace toravin {
namespace {

struct KindKeys {
  const char* downLoad;
  const char* name;
  TKindOption TRunOptions::*option;
};
constexpr KindKeys kKindKeys[] = {
    {"PngDownLoad", "PngName", &TRunOptions::Png},
    {"WebpDownLoad", "WebpName", &TRunOptions::Webp},
    {"AvifDownLoad", "AvifName", &TRunOptions::Avif},
    {"SvgDownLoad", "SvgName", &TRunOptions::Svg},
};

void ReadSwitch(std::string_view value, bool& out) {
  if (value == "1") out = true;
  if (value == "0") out = false;
}

}  // namespace

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
    const std::string_view key = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    if (key == "Parallel") {
      long long n = 0;
      if (TryStrToInt(value, n) && n >= 1 && n <= kMaxParallel) {
        options.Parallel = static_cast<int>(n);
      }
    } else if (key == "Reader") {
      if (value == "html") options.Reader = LinkReader::Html;
      if (value == "patterns") options.Reader = LinkReader::Patterns;
    } else if (key == "Connection") {
      if (value == "keep") options.Connection = ConnectionUse::Keep;
      if (value == "close") options.Connection = ConnectionUse::Close;
    }
    for (const KindKeys& k : kKindKeys) {
      if (key == k.downLoad) ReadSwitch(value, (options.*k.option).DownLoad);
      if (key == k.name) (options.*k.option).Name = std::string(value);
    }
  }
  return options;
}

std::string TRunOptions::Text() const {
  // A number not chosen is not written: it follows the connection use's default.
  std::string text = Parallel > 0 ? "Parallel=" + std::to_string(Parallel) + "\r\n" : "";
  text += std::string("Reader=") + (Reader == LinkReader::Html ? "html" : "patterns") + "\r\n";
  for (const KindKeys& k : kKindKeys) {
    const TKindOption& o = this->*k.option;
    text += std::string(k.downLoad) + "=" + (o.DownLoad ? "1" : "0") + "\r\n";
    text += std::string(k.name) + "=" + o.Name + "\r\n";
  }
  // The default is the missing line, so a file written before the choice existed reads the same.
  if (Connection == ConnectionUse::Keep) text += "Connection=keep\r\n";
  return text;
}

TRunOptions TRunOptions::Load(std::string_view path) {
  std::optional<std::string> text = ReadWholeFile(path);
  return text ? Parse(*text) : TRunOptions();
}

bool TRunOptions::Save(std::string_view path) const { return WriteFileReplacing(path, Text()); }

}  // namespace toravin
