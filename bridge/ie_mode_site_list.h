// The bank's pages that host the key control, as Microsoft Edge's IE mode
// takes them: an Enterprise Mode site list (schema v.2) that names each page
// to open in IE11 mode. Edge hosts ActiveX controls only there; every other
// Edge page is a Chromium page and reaches the key through the bridge.
//
// A site list names a page without its scheme: "host", "host/path", with a
// port only when it is not the scheme's default ("host:8443/path").
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The pages of the ";"-separated address list `pages` (IDS_IEMODE_PAGES) as
// the site list names them, in the list's order. An entry counts when it is
// an http or https address with a host and only printable ASCII; the host
// is written in lower case, the path as given, and a query or fragment is
// dropped (a site list matches hosts and paths only). Repeats go.
std::vector<std::string> IeModeSites(std::string_view pages);

// The site list's XML in UTF-8, declaration first. `version` is the list's
// version, at least 1.
std::string IeModeSiteListXml(const std::vector<std::string>& sites, std::uint32_t version);

// The version of a list written now, `unix_seconds` after 1970, when the
// last one written had `recorded` (0: none): higher than that, and never
// lower than the minutes since 1970, so a list written after an uninstall
// (whose record is gone) still outnumbers what a browser has cached.
std::uint32_t NextSiteListVersion(std::uint32_t recorded, std::int64_t unix_seconds);

// The file: URL of a Windows path given in UTF-8 ("C:\Program Files\x.xml"
// gives "file:///C:/Program%20Files/x.xml"): backslashes become "/", every
// byte outside unreserved ASCII is percent-encoded, apart from the drive's
// colon. A UNC path "\\server\share\..." names its server as the URL's host.
std::string FileUrl(std::string_view utf8_path);

}  // namespace corvane
