// How links become URLs: the base directory of a page, the removal of "/../" and "/./"
// segments, and the extension rule of the link test.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// The directory URL against which relative links are resolved: up to and including the last "/"
// when the URL contains ".htm", otherwise the URL with a "/" appended unless it ends in one.
// An empty URL gives "/".
std::string BaseUrl(std::string_view url);

// The link joined to the URL of the page that holds it, not yet normalised: a link starting with
// "//" takes the page's scheme ("http:" when the page URL has none), one starting with a single
// "/" goes under the page's scheme, host and port, any other after BaseUrl of the page URL.
// The caller leaves absolute links as they are.
std::string JoinLink(std::string_view pageUrl, std::string_view link);

// Removes "/../" (with the segment before it) and "/./" segments, all "/../" first. The scheme
// and host are never removed: a "/../" directly under the host drops only itself
// ("http://h/../c" -> "http://h/c"); in a text without a scheme, a "/../" with no "/" before
// it removes the first segment ("a/../b" -> "b"). Every input ends, in linear time.
std::string NormalizeUrl(std::string_view url);

// True when a link or URL counts as absolute: it contains "http://" or "https://" anywhere,
// as the work list and the link test have always asked of "http://".
bool IsAbsoluteLink(std::string_view link);

// True when a URL starts with "https://" (letters in any case).
bool IsHttpsUrl(std::string_view url);

// The extension of a link in lower case: the text from its last "." when no "\" or ":" follows
// that dot, otherwise empty. A "/" does not end it.
std::string LinkExtension(std::string_view link);

}  // namespace toravin
