// CP932 conversion goes through glibc's iconv "CP932" module. Each thread keeps its two
// converter handles open, since opening a converter costs far more than converting a message.
// Invalid input never stops a conversion: the bad byte is replaced and the rest converted.
#include "platform/Cp932.h"

#include "platform/UnfitChar.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <unordered_map>

namespace toravin {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : m_handle(iconv_open(to, from)) {
    if (m_handle == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(m_handle); }
  iconv_t Handle() const { return m_handle; }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on a byte it cannot take it appends `replacement` and skips `skip(in)` bytes.
  template <typename Skip>
  std::string Convert(std::string_view in, std::string_view replacement, Skip skip) {
    std::string out;
    out.resize(in.size() * 3 + 16);
    iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      size_t rc = iconv(m_handle, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (rc != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL: replace the offending character and go on after it.
      size_t n = skip(std::string_view(src, srcLeft));
      if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
      out.replace(used, replacement.size(), replacement);
      used += replacement.size();
      src += n;
      srcLeft -= n;
      iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t m_handle;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

size_t SkipCp932(std::string_view rest) {
  if (rest.size() >= 2 && IsLeadByte(rest[0])) return 2;
  return 1;
}

size_t SkipUtf8(std::string_view rest) {
  unsigned char c = static_cast<unsigned char>(rest[0]);
  size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  size_t i = 1;
  while (i < n && i < rest.size() && (static_cast<unsigned char>(rest[i]) & 0xC0) == 0x80) ++i;
  return i;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
  if (IsAscii(cp932)) return std::string(cp932);
  thread_local Converter conv("UTF-8", "CP932");
  // Characters carried in user-defined codes (names CP932 cannot hold) come back as themselves.
  std::string out;
  std::size_t plain = 0;
  for (std::size_t i = 0; i < cp932.size();) {
    std::size_t n = 0;
    if (static_cast<unsigned char>(cp932[i]) == 0xF9) {
      if (char32_t cp = ReadUnfitChar(cp932.substr(i), n)) {
        out += conv.Convert(cp932.substr(plain, i - plain), "\xEF\xBF\xBD", SkipCp932);
        AppendUtf8(out, cp);
        i += n;
        plain = i;
        continue;
      }
    }
    i += SkipCp932(cp932.substr(i));
  }
  if (plain == 0) return conv.Convert(cp932, "\xEF\xBF\xBD", SkipCp932);
  out += conv.Convert(cp932.substr(plain), "\xEF\xBF\xBD", SkipCp932);
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local Converter conv("CP932", "UTF-8");
  return conv.Convert(utf8, "?", SkipUtf8);
}

std::string ConvertCharset(std::string_view text, const char* to, const char* from,
                           const std::function<std::string(std::string_view)>& unfit) {
  thread_local std::unordered_map<std::string, std::unique_ptr<Converter>> converters;
  std::unique_ptr<Converter>& conv = converters[std::string(to) + "<" + from];
  if (!conv) conv = std::make_unique<Converter>(to, from);
  const bool fromUtf8 = std::string_view(from) == "UTF-8";
  iconv_t handle = conv->Handle();
  iconv(handle, nullptr, nullptr, nullptr, nullptr);
  std::string out(text.size() * 2 + 16, '\0');
  char* src = const_cast<char*>(text.data());
  size_t srcLeft = text.size();
  size_t used = 0;
  while (srcLeft > 0) {
    char* dst = out.data() + used;
    size_t dstLeft = out.size() - used;
    const size_t rc = iconv(handle, &src, &srcLeft, &dst, &dstLeft);
    used = out.size() - dstLeft;
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ or EINVAL: the caller says what stands for the character.
    const std::string_view rest(src, srcLeft);
    const size_t n = fromUtf8 ? SkipUtf8(rest) : 1;
    const std::string replacement = unfit(rest.substr(0, n));
    out.resize(std::max(out.size(), used + replacement.size() + srcLeft * 2 + 16));
    out.replace(used, replacement.size(), replacement);
    used += replacement.size();
    src += n;
    srcLeft -= n;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return out;
}

const std::string& Sjis(const char* utf8Literal) {
  thread_local std::unordered_map<const char*, std::string> cache;
  auto it = cache.find(utf8Literal);
  if (it == cache.end()) it = cache.emplace(utf8Literal, Utf8ToCp932(utf8Literal)).first;
  return it->second;
}

std::size_t FileNameStart(std::string_view url) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < url.size(); ++i) {
    char c = url[i];
    if (IsLeadByte(c)) {
      ++i;  // the trail byte is part of the character, never a separator
      continue;
    }
    if (c == '/' || c == '\\' || c == ':') start = i + 1;
  }
  return start;
}

std::string FileNamePart(std::string_view url) {
  std::size_t start = FileNameStart(url);
  std::string name(url.substr(start));
  return name;
}

std::size_t LastCharStart(std::string_view text) {
  std::size_t last = text.size();
  for (std::size_t i = 0; i < text.size(); ++i) {
    last = i;
    if (IsLeadByte(text[i]) && i + 1 < text.size()) ++i;
  }
  return last;
}

bool EndsWithSeparator(std::string_view path) {
  std::size_t last = LastCharStart(path);
  return last + 1 == path.size() && (path[last] == '\\' || path[last] == '/');
}

std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string path(dir);
  if (!EndsWithSeparator(path)) path += '\\';
  path += name;
  return path;
}

}  // namespace toravin
