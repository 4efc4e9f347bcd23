// The border between a URL and a name a user reads. The file-name part of a link holds the bytes
// the page had: percent-escapes, UTF-8 from today's pages, Shift-JIS from older ones. The names the
// program saves under, packs, lists, shows in the status bar and tests against the masks are the
// decoded names, in the engine's CP932 text (characters CP932 cannot hold are carried losslessly,
// see UnfitChar.h). Requests, the work list and the settings file keep the URL's bytes.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

enum class NameCharset { Unknown, Utf8, ShiftJis, EucJp };

// The charset a page declared: the charset parameter of its Content-Type header, else a <meta>
// charset (or http-equiv Content-Type) within its first 4 KB. Unknown when neither says, or
// names a charset other than UTF-8, Shift-JIS or EUC-JP.
NameCharset DeclaredCharset(std::string_view header, std::string_view page);

// Percent-escapes decoded, except those that would yield "/", "\", NUL or a control character,
// and malformed ones, which stay as written.
std::string PercentDecodeName(std::string_view raw);

// The name a user reads for the raw file-name part of a URL. The decoded bytes are read as the
// page's declared charset; without one, as UTF-8 when they are valid UTF-8 with at least one
// multi-byte character, and as Shift-JIS otherwise (which leaves a Shift-JIS name exactly as the
// page had it). A declared EUC-JP page's names that are not UTF-8 are read as EUC-JP.
std::string ReadableName(std::string_view raw, NameCharset charset = NameCharset::Unknown);

// True for valid UTF-8 holding at least one multi-byte character.
bool LooksLikeUtf8(std::string_view bytes);

}  // namespace toravin
