// TUUProcessor: encodes a stream as MIME Base64 (uuMime) or as uuencode lines (uuCode), 45 input
// bytes per line. The HTTP client uses the MIME form for Basic credentials.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace toravin {

enum UUMethods { uuMime = 0, uuCode = 1 };

class TUUProcessor {
 public:
  using TNotifyEvent = std::function<void(TUUProcessor& sender)>;

  // Input bytes per output line.
  static constexpr int kChunkBytes = 45;

  UUMethods Method = uuMime;
  TNotifyEvent OnBeginEncode;
  TNotifyEvent OnEndEncode;
  // Supplied and owned by the caller.
  std::istream* InputStream = nullptr;
  std::ostream* OutputStream = nullptr;

  // Reads InputStream from its start, writes the lines at OutputStream's position, then leaves
  // OutputStream at position 0 and InputStream at its end.
  void Encode();
};

// The MIME Base64 text of `bytes` as one line without line breaks.
std::string MimeBase64(const std::string& bytes);

}  // namespace toravin
