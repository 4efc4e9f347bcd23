// What a reply's status line and Location allow: a status code a server can send at all, and a
// redirect target the client can follow (a web address, or one relative to the request).
#pragma once

#include <string_view>

namespace toravin {

// Whether a reply succeeded. A reply without any status line (the server closed at once) is an
// empty success, as it always was; a status line's code succeeds from 100 to 298, and any other
// code (unreadable, 0, or outside 100-599) is no success.
bool IsSuccessReply(bool statusLineSeen, int code);

// A Location value without a scheme (relative), or with "http" or "https"; any other scheme
// ("file:", "mailto:", "ftp:", ...) names nothing to fetch over HTTP.
bool IsFollowableLocation(std::string_view location);

}  // namespace toravin
