// Table-driven: one row per kind, in the order the filter tries them.
#include "main/FileKinds.h"

#include "main/RunOptions.h"
#include "main/TextUtil.h"
#include "platform/Cp932.h"
#include "settings/ToraVinIniList.h"

namespace toravin {

std::optional<FileKind> KindOfExtension(std::string_view ext) {
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") return FileKind::Jpeg;
  if (ext == ".gif") return FileKind::Gif;
  if (ext == ".zip") return FileKind::Zip;
  if (ext == ".html" || ext == ".htm") return FileKind::Html;
  if (ext == ".png") return FileKind::Png;
  if (ext == ".webp") return FileKind::Webp;
  if (ext == ".avif") return FileKind::Avif;
  if (ext == ".svg") return FileKind::Svg;
  return std::nullopt;
}

bool IsPicture(FileKind kind) { return kind != FileKind::Zip && kind != FileKind::Html; }

namespace {

const TKindOption* OptionOf(const TRunOptions& o, FileKind kind) {
  switch (kind) {
    case FileKind::Png:
      return &o.Png;
    case FileKind::Webp:
      return &o.Webp;
    case FileKind::Avif:
      return &o.Avif;
    case FileKind::Svg:
      return &o.Svg;
    default:
      return nullptr;
  }
}

}  // namespace

bool AnyKindChosen(const TToraVinIniList& s, const TRunOptions& o) {
  return s.JPGDownLoad || s.GIFDownLoad || s.ZIPDownLoad || s.HTMLDownLoad || o.Png.DownLoad ||
         o.Webp.DownLoad || o.Avif.DownLoad || o.Svg.DownLoad;
}

bool KindSwitch(const TToraVinIniList& s, const TRunOptions& o, FileKind kind) {
  if (const TKindOption* option = OptionOf(o, kind)) return option->DownLoad;
  switch (kind) {
    case FileKind::Jpeg:
      return s.JPGDownLoad;
    case FileKind::Gif:
      return s.GIFDownLoad;
    case FileKind::Zip:
      return s.ZIPDownLoad;
    default:
      break;
  }
  return s.HTMLDownLoad;
}

const std::string& KindMask(const TToraVinIniList& s, const TRunOptions& o, FileKind kind) {
  if (const TKindOption* option = OptionOf(o, kind)) return option->Name;
  switch (kind) {
    case FileKind::Jpeg:
      return s.JpegName;
    case FileKind::Gif:
      return s.GifName;
    case FileKind::Zip:
      return s.ZipName;
    default:
      break;
  }
  return s.HtmlName;
}

UrlName SplitUrlName(std::string_view url) { return SplitName(FileNamePart(url)); }

UrlName SplitName(std::string name) {
  UrlName n;
  n.name = std::move(name);
  size_t dot = n.name.rfind('.');
  if (dot == std::string::npos) {
    n.base = n.name;
  } else {
    n.ext = n.name.substr(dot);
    n.base = n.name.substr(0, dot);
  }
  return n;
}

std::string MaskNamePart(std::string_view mask) {
  if (mask.empty() || mask[0] == '.') return "*";
  std::string_view part = mask.substr(0, mask.find('.'));
  size_t star = part.find('*');
  if (star != std::string_view::npos) part = part.substr(0, star + 1);
  return std::string(part);
}

std::string NumberedName(std::string_view path, int n) {
  size_t nameStart = FileNameStart(path);
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < nameStart) dot = path.size();
  return std::string(path.substr(0, dot)) + "(" + std::to_string(n) + ")" +
         std::string(path.substr(dot));
}

}  // namespace toravin
