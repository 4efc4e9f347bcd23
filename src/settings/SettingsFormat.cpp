// Writer and reader of the TPF0 settings stream. The reader is a bounds-checked cursor over the
// file image: every read says how many bytes it needs first, so a cut or corrupt file ends in
// the fault text instead of a read past the end. Property names match without regard to ASCII
// case; texts take the short (tag 06) or long (tag 0C) form.
#include "settings/SettingsFormat.h"

#include <cstdint>
#include <cstring>
#include <variant>
#include <vector>

#include "platform/Cp932.h"
#include "settings/ESettingsError.h"
#include "settings/ToraVinIniList.h"

namespace toravin {
namespace {

constexpr char kSignature[] = "TPF0";
constexpr char kClassName[] = "TToraVinIniList";
constexpr char kListName[] = "Rf";

enum Tag : std::uint8_t {
  kNull = 0x00,
  kList = 0x01,
  kString = 0x06,
  kFalse = 0x08,
  kTrue = 0x09,
  kLString = 0x0C,
};

using BoolField = bool TToraVinIniList::*;
using TextField = std::string TToraVinIniList::*;

struct Property {
  const char* name;
  std::variant<BoolField, TextField> field;
};

// The persisted settings in file order.
const Property kProperties[] = {
    {"DoFileChoice", &TToraVinIniList::DoFileChoice},
    {"JPGDownLoad", &TToraVinIniList::JPGDownLoad},
    {"GIFDownLoad", &TToraVinIniList::GIFDownLoad},
    {"ZIPDownLoad", &TToraVinIniList::ZIPDownLoad},
    {"HTMLDownLoad", &TToraVinIniList::HTMLDownLoad},
    {"TargetURL", &TToraVinIniList::TargetURL},
    {"TargetDir", &TToraVinIniList::TargetDir},
    {"JpegName", &TToraVinIniList::JpegName},
    {"GifName", &TToraVinIniList::GifName},
    {"ZipName", &TToraVinIniList::ZipName},
    {"HtmlName", &TToraVinIniList::HtmlName},
    {"ProxyUse", &TToraVinIniList::ProxyUse},
    {"ProxyAddress", &TToraVinIniList::ProxyAddress},
    {"ProxyPort", &TToraVinIniList::ProxyPort},
    {"UseLha", &TToraVinIniList::UseLha},
    {"LhaName", &TToraVinIniList::LhaName},
    {"FileSizeCheck", &TToraVinIniList::FileSizeCheck},
    {"FileSize", &TToraVinIniList::FileSize},
    {"UseTar", &TToraVinIniList::UseTar},
    {"Retry", &TToraVinIniList::Retry},
    {"RetryCount", &TToraVinIniList::RetryCount},
};

// ---- writing ----

void PutShortString(std::string& out, std::string_view s) {
  out.push_back(static_cast<char>(s.size()));
  out.append(s);
}

void PutText(std::string& out, std::string_view s) {
  if (s.size() <= 255) {
    out.push_back(static_cast<char>(kString));
    out.push_back(static_cast<char>(s.size()));
  } else {
    out.push_back(static_cast<char>(kLString));
    std::uint32_t n = static_cast<std::uint32_t>(s.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  }
  out.append(s);
}

// ---- reading ----

constexpr char kReadError[] = "ストリームからの読み込みエラー";
constexpr char kInvalidFormat[] = "不正なストリーム フォーマット";
constexpr char kNoSuchProperty[] = "プロパティが存在しません";
constexpr char kInvalidValue[] = "不正なプロパティの値です";

// Thrown inside a property record; turned into the record's fault text by the caller.
struct InnerFault {
  const char* text;
};

class Cursor {
 public:
  explicit Cursor(std::string_view data) : m_data(data) {}
  bool AtEnd() const { return m_pos >= m_data.size(); }

  // Returns false at the end of the data.
  bool Byte(std::uint8_t& b) {
    if (m_pos >= m_data.size()) return false;
    b = static_cast<std::uint8_t>(m_data[m_pos++]);
    return true;
  }
  bool Bytes(std::size_t n, std::string_view& out) {
    if (n > m_data.size() - m_pos) return false;
    out = m_data.substr(m_pos, n);
    m_pos += n;
    return true;
  }
  bool ShortString(std::string_view& out) {
    std::uint8_t n;
    return Byte(n) && Bytes(n, out);
  }

  // Inside a record: the end of the data is the inner read error.
  std::uint8_t RecordByte() {
    std::uint8_t b;
    if (!Byte(b)) throw InnerFault{kReadError};
    return b;
  }
  std::string_view RecordBytes(std::size_t n) {
    std::string_view s;
    if (!Bytes(n, s)) throw InnerFault{kReadError};
    return s;
  }
  // The payload of a text value whose tag was already read.
  std::string_view TextPayload(std::uint8_t tag) {
    if (tag == kString) return RecordBytes(RecordByte());
    std::string_view len = RecordBytes(4);
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<std::uint8_t>(len[i]);
    // The length is a signed 32-bit count: a negative one can never be read.
    if (n > 0x7FFFFFFFu) throw InnerFault{kReadError};
    return RecordBytes(n);
  }

 private:
  std::string_view m_data;
  std::size_t m_pos = 0;
};

bool IsText(std::uint8_t tag) { return tag == kString || tag == kLString; }

bool SameName(std::string_view a, const char* b) {
  std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

void ReadWorkList(Cursor& in, TToraVinIniList& store) {
  if (in.RecordByte() != kList) throw InnerFault{kInvalidValue};
  for (;;) {
    std::uint8_t tag = in.RecordByte();
    if (tag == kNull) return;
    if (!IsText(tag)) throw InnerFault{kInvalidValue};
    std::string_view url = in.TextPayload(tag);
    tag = in.RecordByte();
    if (!IsText(tag)) throw InnerFault{kInvalidValue};
    std::string_view referer = in.TextPayload(tag);
    store.AddItem(url, referer);
  }
}

void ReadProperty(Cursor& in, std::string_view name, TToraVinIniList& store) {
  if (SameName(name, kListName)) {
    ReadWorkList(in, store);
    return;
  }
  for (const Property& p : kProperties) {
    if (!SameName(name, p.name)) continue;
    std::uint8_t tag = in.RecordByte();
    if (auto* b = std::get_if<BoolField>(&p.field)) {
      if (tag != kFalse && tag != kTrue) throw InnerFault{kInvalidValue};
      store.*(*b) = tag == kTrue;
    } else {
      if (!IsText(tag)) throw InnerFault{kInvalidValue};
      store.*(std::get<TextField>(p.field)) = std::string(in.TextPayload(tag));
    }
    return;
  }
  throw InnerFault{kNoSuchProperty};
}

}  // namespace

std::string WriteSettingsImage(const TToraVinIniList& store) {
  std::string out;
  out.reserve(512);
  out.append(kSignature, 4);
  PutShortString(out, kClassName);
  PutShortString(out, "");
  for (const Property& p : kProperties) {
    if (auto* b = std::get_if<BoolField>(&p.field)) {
      PutShortString(out, p.name);
      out.push_back(static_cast<char>(store.*(*b) ? kTrue : kFalse));
      continue;
    }
    const std::string& text = store.*(std::get<TextField>(p.field));
    if (text.empty()) continue;
    PutShortString(out, p.name);
    PutText(out, text);
  }
  if (store.Count() > 0) {
    std::size_t bytes = 0;
    for (int i = 0; i < store.Count(); ++i) {
      bytes += store.Item(i).Url.size() + store.Item(i).Referer.size() + 12;
    }
    out.reserve(out.size() + bytes + 8);
    PutShortString(out, kListName);
    out.push_back(static_cast<char>(kList));
    for (int i = 0; i < store.Count(); ++i) {
      PutText(out, store.Item(i).Url);
      PutText(out, store.Item(i).Referer);
    }
    out.push_back(static_cast<char>(kNull));
  }
  out.push_back(static_cast<char>(kNull));  // end of the property records
  out.push_back(static_cast<char>(kNull));  // end of the (empty) list of contained objects
  return out;
}

void ReadSettingsImage(std::string_view data, TToraVinIniList& store) {
  if (data.substr(0, 4) != std::string_view(kSignature, 4)) {
    // A file shorter than the signature but agreeing with it so far ends within the header.
    bool cutShort =
        data.size() < 4 && std::string_view(kSignature, 4).substr(0, data.size()) == data;
    throw ESettingsError(Sjis(cutShort ? kReadError : kInvalidFormat));
  }
  Cursor in(data.substr(4));
  std::string_view ignored;
  if (!in.ShortString(ignored) || !in.ShortString(ignored)) {
    throw ESettingsError(Sjis(kReadError));
  }
  for (;;) {
    std::uint8_t len;
    if (!in.Byte(len)) throw ESettingsError(Sjis(kReadError));
    if (len == 0) break;
    std::string_view name;
    if (!in.Bytes(len, name)) throw ESettingsError(Sjis(kReadError));
    try {
      ReadProperty(in, name, store);
    } catch (const InnerFault& fault) {
      std::string text = kClassName;
      text += '.';
      text += name;
      text += Sjis(" の読み込み中のエラー : ");
      text += Sjis(fault.text);
      throw ESettingsError(text);
    }
  }
  std::uint8_t children;
  if (!in.Byte(children)) throw ESettingsError(Sjis(kReadError));
  if (children != kNull) throw ESettingsError(Sjis(kInvalidFormat));
}

}  // namespace toravin
