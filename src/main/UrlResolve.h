// Resolving a reference found in a page the way a browser does (RFC 3986, section 5.2), for the
// HTML reader: against the page URL, or the page's <base href> resolved against it.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// The absolute http or https URL that `ref` names when read on a page whose base URL is `base`,
// without its fragment; empty when it names no such URL (another scheme such as "javascript:",
// "data:" or "mailto:", an empty or fragment-only reference, a base without a host). Blanks and
// control characters at both ends of `ref` are dropped and tabs and line breaks inside it
// removed. A base without a scheme is taken as "http://".
std::string ResolveReference(std::string_view base, std::string_view ref);

// The path of an absolute URL's last segment (the text after the last "/" of the path, query and
// fragment cut off), as the kind, mask and name tests read it.
std::string_view UrlPathName(std::string_view url);

// The URL with its query and fragment cut off.
std::string_view UrlWithoutQuery(std::string_view url);

}  // namespace toravin
