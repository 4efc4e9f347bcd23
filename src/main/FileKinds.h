// The kinds of file the crawl knows (JPEG, GIF, ZIP and HTML page from the settings file; PNG,
// WebP, AVIF and SVG from the options file), their extensions, and the name parts of a URL that
// the download filter looks at.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace toravin {

class TToraVinIniList;
struct TRunOptions;

enum class FileKind { Jpeg, Gif, Zip, Html, Png, Webp, Avif, Svg };

// A picture: JPEG, GIF, PNG, WebP, AVIF or SVG (the kinds tested and saved alike).
bool IsPicture(FileKind kind);

// The kind whose extension list holds `ext` (lower case, with the leading dot).
std::optional<FileKind> KindOfExtension(std::string_view ext);

// The kind's switch and mask in the settings or the options.
bool KindSwitch(const TToraVinIniList& s, const TRunOptions& o, FileKind kind);
const std::string& KindMask(const TToraVinIniList& s, const TRunOptions& o, FileKind kind);
// Whether any kind is switched on.
bool AnyKindChosen(const TToraVinIniList& s, const TRunOptions& o);

// The file-name part of a URL, its extension (from the last ".", empty without one) and its base
// name (the file name without the extension).
struct UrlName {
  std::string name;
  std::string ext;
  std::string base;
};
UrlName SplitUrlName(std::string_view url);
// The same for a name already cut from its URL.
UrlName SplitName(std::string name);

// The part of a mask that is matched against a base name: "*" for an empty mask or one that
// begins with "."; otherwise the text before the first ".", cut right after its first "*".
std::string MaskNamePart(std::string_view mask);

// "name(n).ext" for a path "name.ext" (the extension is taken from the file-name part).
std::string NumberedName(std::string_view path, int n);

}  // namespace toravin
