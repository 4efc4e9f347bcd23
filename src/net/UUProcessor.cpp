// Groups of three bytes become four alphabet characters; a short final group gives two or three
// characters, padded with "=" only in the MIME form. uuencode lines start with their byte count
// and the output ends with a line holding the zero character.
#include "net/UUProcessor.h"

#include <istream>
#include <ostream>
#include <sstream>
#include <string>

namespace toravin {
namespace {

constexpr char kMimeAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

char UUChar(int value) { return value == 0 ? '`' : static_cast<char>(value + 32); }

char Letter(UUMethods method, int value) {
  return method == uuMime ? kMimeAlphabet[value & 63] : UUChar(value & 63);
}

// One output line (without its line end) for up to 45 bytes.
std::string EncodeLine(UUMethods method, const unsigned char* b, int n) {
  std::string line;
  if (method == uuCode) line += UUChar(n);
  int i = 0;
  for (; i + 3 <= n; i += 3) {
    line += Letter(method, b[i] >> 2);
    line += Letter(method, ((b[i] & 3) << 4) | (b[i + 1] >> 4));
    line += Letter(method, ((b[i + 1] & 15) << 2) | (b[i + 2] >> 6));
    line += Letter(method, b[i + 2] & 63);
  }
  if (n - i == 1) {
    line += Letter(method, b[i] >> 2);
    line += Letter(method, (b[i] & 3) << 4);
    if (method == uuMime) line += "==";
  } else if (n - i == 2) {
    line += Letter(method, b[i] >> 2);
    line += Letter(method, ((b[i] & 3) << 4) | (b[i + 1] >> 4));
    line += Letter(method, (b[i + 1] & 15) << 2);
    if (method == uuMime) line += '=';
  }
  return line;
}

}  // namespace

void TUUProcessor::Encode() {
  struct EndGuard {
    TUUProcessor& p;
    ~EndGuard() {
      if (p.OutputStream) {
        p.OutputStream->clear();
        p.OutputStream->seekp(0);
      }
      if (p.OnEndEncode) p.OnEndEncode(p);
    }
  } guard{*this};
  if (!InputStream || !OutputStream) return;
  InputStream->clear();
  InputStream->seekg(0);
  if (OnBeginEncode) OnBeginEncode(*this);
  unsigned char chunk[kChunkBytes];
  for (;;) {
    InputStream->read(reinterpret_cast<char*>(chunk), kChunkBytes);
    int n = static_cast<int>(InputStream->gcount());
    if (n <= 0) break;
    *OutputStream << EncodeLine(Method, chunk, n) << "\r\n";
    if (n < kChunkBytes) break;
  }
  if (Method == uuCode) *OutputStream << UUChar(0) << "\r\n";
}

std::string MimeBase64(const std::string& bytes) {
  std::istringstream in(bytes);
  std::ostringstream out;
  TUUProcessor coder;
  coder.Method = uuMime;
  coder.InputStream = &in;
  coder.OutputStream = &out;
  coder.Encode();
  // The credentials go into one header value: the line breaks between chunks are dropped.
  std::string text;
  for (char c : out.str()) {
    if (c != '\r' && c != '\n') text += c;
  }
  return text;
}

}  // namespace toravin
