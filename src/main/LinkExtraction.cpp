// Link extraction: a page is cut into one tag per line, every line is searched with the anchor
// and the image pattern through TextMatcher1, and the links that pass the link test are queued
// behind the pending entries. Encoded pages are decoded through the gzip library first. Two
// rules here differ from a literal reading on purpose: the encoded-page test reads the header
// of the reply whose body is parsed, and a line that escape processing rejects is searched as it
// stands instead of ending the run. Three more mend links the page plainly meant otherwise: a
// root-relative link goes under the host's root, a protocol-relative one takes the page's scheme,
// and character references are decoded before the link is tested. With the HTML reader the page
// is read as a browser reads it instead of line by line.
#include <exception>

#include "main/CharRefs.h"
#include "main/FileKinds.h"
#include "main/HtmlLinkReader.h"
#include "main/LinkText.h"
#include "main/MainForm.h"
#include "main/SplitTags.h"
#include "main/TagLines.h"
#include "main/TextUtil.h"
#include "main/UrlResolve.h"
#include "main/UrlRules.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "regex/ERegExpParser.h"

namespace toravin {

void TMainForm::ParseLinks(std::string_view page, bool startPage, std::string_view pageUrl) {
  const bool encoded = Contains(LowerCase(HttpClient1.Header), "content-encoding");
  std::string decoded;
  if (encoded) {
    if (!m_settings->UseTar) {
      m_dialogs.Beep();
      m_dialogs.ShowMessage(Sjis("ＨＴＭＬファイルがエンコードされているために、解釈できません。"));
      return;
    }
    if (!DecodePage(page, decoded)) return;
    page = decoded;
  }
  const std::string url(pageUrl);  // the page URL may live in a field that a handler changes
  // The names this page links are read in the charset it declares.
  const NameCharset cs = DeclaredCharset(HttpClient1.Header, page);
  if (cs != NameCharset::Unknown) m_pageCharsets[url] = cs;
  if (m_runOptions.Reader == LinkReader::Html) {
    ReadHtmlLinks(page, cs, startPage, url);
    return;
  }
  for (std::string_view line : TTagLines(page)) {
    SearchLine(line, startPage, url);
    ProcessMessages();
  }
}

void TMainForm::SearchLine(std::string_view line, bool startPage, std::string_view pageUrl) {
  // Both patterns begin with "<": a line with no "<" (and no escape that could make one) cannot
  // match either.
  if (line.find_first_of("<\\") == std::string::npos) return;
  std::string upper = UpperCase(line);
  static const std::string patterns[] = {kAnchorPattern, kImagePattern};
  for (const std::string& pattern : patterns) {
    int pos = 0, len = 0;
    FindPattern(upper, pattern, pos, len);
    if (pos == 0) continue;
    std::string link =
        DecodeCharRefs(LinkFromMatch(line, static_cast<size_t>(pos), static_cast<size_t>(len)));
    if (AcceptLink(link, startPage, pageUrl)) m_settings->AddItem(link, pageUrl);
  }
}

void TMainForm::FindPattern(const std::string& upperLine, const std::string& pattern, int& pos,
                            int& len) {
  TextMatcher1.SetRegExp(pattern);
  pos = 0;
  len = 0;
  // Escape processing gives back a line without a backslash unchanged (or rejects a lone lead
  // byte at its end, and then the line is searched as it stands anyway).
  if (upperLine.find('\\') == std::string::npos) {
    TextMatcher1.Match(upperLine, pos, len);
    return;
  }
  std::string subject;
  try {
    subject = TextMatcher1.ProcessEscapes(upperLine);
  } catch (const ERegExpParser&) {
    // A line ending in a backslash or a lone lead byte: search it as it stands.
    subject = upperLine;
  }
  TextMatcher1.Match(subject, pos, len);
}

bool TMainForm::AcceptLink(std::string& link, bool startPage, std::string_view pageUrl) {
  const TToraVinIniList& s = *m_settings;
  bool keep = true;
  if (!startPage && !IsAbsoluteLink(link)) link = NormalizeUrl(JoinLink(pageUrl, link));
  if (s.ContainsUrl(link)) keep = false;
  if (Contains(link, "/cgi-bin/") || Contains(link, ".cgi")) keep = false;
  if (!keep) return false;
  std::optional<FileKind> kind = KindOfExtension(LinkExtension(link));
  if (!kind) return false;
  if (*kind == FileKind::Html) return s.HTMLDownLoad && startPage;
  return KindSwitch(s, m_runOptions, *kind);
}

void TMainForm::ReadHtmlLinks(std::string_view page, NameCharset charset, bool startPage,
                              const std::string& pageUrl) {
  const HtmlLinks found = toravin::ReadHtmlLinks(page, charset);
  // Links resolve against the first <base href>, itself read against the page's URL.
  std::string base = pageUrl;
  if (found.base) {
    std::string resolved = ResolveReference(pageUrl, *found.base);
    if (!resolved.empty()) base = std::move(resolved);
  }
  const std::string self = ResolveReference(pageUrl, pageUrl);
  std::size_t n = 0;
  for (const HtmlLink& link : found.links) {
    const std::string url = ResolveReference(base, link.value);
    // A link to the page itself (a "#section" of it) fetches nothing new.
    if (!url.empty() && url != self && AcceptHtmlLink(url, link.pageAllowed, startPage)) {
      m_settings->AddItem(url, pageUrl);
    }
    if (++n % 256 == 0) ProcessMessages();
  }
}

bool TMainForm::AcceptHtmlLink(const std::string& url, bool pageAllowed, bool startPage) {
  const TToraVinIniList& s = *m_settings;
  if (s.ContainsUrl(url)) return false;
  if (Contains(url, "/cgi-bin/") || Contains(url, ".cgi")) return false;
  // The kind is the one of the URL's path: "photo.jpg?w=300" is a JPEG.
  const std::string_view name = UrlPathName(url);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::optional<FileKind> kind = KindOfExtension(LowerCase(name.substr(dot)));
  if (!kind) return false;
  if (*kind == FileKind::Html) return s.HTMLDownLoad && startPage && pageAllowed;
  return KindSwitch(s, m_runOptions, *kind);
}

void TMainForm::EndDecodeDirectory() {
  if (!m_decodeDir.empty()) RemovePrivateDirectory(m_decodeDir);
  m_decodeDir.clear();
}

bool TMainForm::DecodePage(std::string_view page, std::string& text) {
  std::string name = FileNamePart(CurrentUrl);
  if (name.empty()) name = "index.html";
  // The copy, and the decoded file the library leaves beside it, lie in a directory made for the
  // run's decodes alone, so that a name chosen by the server can never meet a file of the
  // user's. A decode leaves it empty; one that may not have is followed by a new directory.
  if (m_decodeDir.empty()) m_decodeDir = MakePrivateDirectory();
  if (m_decodeDir.empty()) return false;
  const std::string path = SaveBody(page, JoinPath(m_decodeDir, name));
  if (path.empty()) {  // refused by the disk-space test: nothing to decode
    EndDecodeDirectory();
    return false;
  }

  TArchive::DecodeResult r = Archive.DecodeFile(path, m_options.timings.archiverWaitMs);
  DeleteFileAt(path);
  if (r.status != TArchive::DecodeStatus::kDecoded) {
    EndDecodeDirectory();
    // A library that reports success but leaves nothing to read gives no links, silently.
    TArchive::ReportDecodeFailure(r, m_dialogs);
    return false;
  }
  // The page is the first zero-terminated piece that looks like HTML, or else what follows the
  // last zero byte.
  std::string_view bytes(r.page);
  std::string_view rest = bytes;
  for (size_t zero; (zero = rest.find('\0')) != std::string_view::npos;) {
    std::string_view piece = rest.substr(0, zero);
    std::string upper = UpperCase(piece);
    if (Contains(upper, "<!DOCTYPE") || Contains(upper, "<HTML>")) {
      const size_t from = static_cast<size_t>(piece.data() - bytes.data());
      const size_t length = piece.size();
      text = std::move(r.page);  // no second copy of a page that may be 64 MiB
      text.resize(from + length);
      text.erase(0, from);
      return true;
    }
    rest.remove_prefix(zero + 1);
  }
  size_t last = bytes.rfind('\0');
  const size_t from = last == std::string_view::npos ? 0 : last + 1;
  text = std::move(r.page);
  text.erase(0, from);
  return true;
}

}  // namespace toravin
