#include "net/ReplyFraming.h"

#include <cstdint>
#include <string>

namespace toravin {
namespace {

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

// Calls `f` with each comma-separated token of a list value, trimmed.
template <typename F>
void ForEachToken(std::string_view value, F&& f) {
  while (true) {
    std::size_t comma = value.find(',');
    f(Trimmed(value.substr(0, comma)));
    if (comma == std::string_view::npos) return;
    value.remove_prefix(comma + 1);
  }
}

}  // namespace

void TFramingReader::StatusLine(std::string_view line) {
  *this = TFramingReader();
  line = Trimmed(line);
  // "HTTP/1.1 200 ..." and any later 1.x minor version.
  if (line.size() >= 8 && SameLetters(line.substr(0, 5), "HTTP/")) {
    std::string_view version = line.substr(
        5, line.find(' ') == std::string_view::npos ? std::string_view::npos : line.find(' ') - 5);
    m_http11 = version.size() >= 3 && version[0] == '1' && version[1] == '.' &&
               version.substr(2) != "0" && version[2] >= '0' && version[2] <= '9';
  }
  std::size_t sp = line.find(' ');
  if (sp == std::string_view::npos) return;
  int status = 0;
  std::size_t digits = 0;
  for (std::size_t i = sp + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    if (++digits > 3) return;
    status = status * 10 + (line[i] - '0');
  }
  m_status = digits == 3 ? status : 0;
}

void TFramingReader::HeaderLine(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  const std::string_view name = Trimmed(line.substr(0, colon));
  const std::string_view value = Trimmed(line.substr(colon + 1));
  if (SameLetters(name, "Connection")) {
    ForEachToken(value, [this](std::string_view t) { m_close |= SameLetters(t, "close"); });
  } else if (SameLetters(name, "Transfer-Encoding")) {
    m_codings = true;
    ForEachToken(value, [this](std::string_view t) {
      if (!t.empty()) m_chunked = SameLetters(t, "chunked");
    });
  } else if (SameLetters(name, "Content-Length")) {
    std::int64_t n = 0;
    bool ok = !value.empty() && value.size() <= 18;
    for (char c : value) {
      ok = ok && c >= '0' && c <= '9';
      if (ok) n = n * 10 + (c - '0');
    }
    if (!ok || (m_lengthSeen && n != m_length)) {
      m_lengthBad = true;
    } else {
      m_lengthSeen = true;
      m_length = n;
    }
  }
}

TReplyFraming TFramingReader::Framing(bool headRequest) const {
  TReplyFraming f;
  const bool keep = m_http11 && !m_close && m_status != 0;
  if (headRequest || (m_status >= 100 && m_status < 200) || m_status == 204 || m_status == 304) {
    f.kind = TReplyFraming::Kind::Empty;
  } else if (m_codings) {
    // A coding other than chunked last can only end with the connection.
    f.kind = m_chunked ? TReplyFraming::Kind::Chunked : TReplyFraming::Kind::ToClose;
  } else if (m_lengthSeen && !m_lengthBad) {
    f.kind = TReplyFraming::Kind::Length;
    f.length = m_length;
  } else {
    f.kind = TReplyFraming::Kind::ToClose;
  }
  f.persistent = keep && f.kind != TReplyFraming::Kind::ToClose;
  return f;
}

}  // namespace toravin
