#include "ie_mode_site_list.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "origin.h"

namespace corvane {
namespace {

constexpr std::uint32_t kLargestVersion = std::numeric_limits<std::int32_t>::max();

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Also no blank inside: an address never holds one, and Edge would take
// the part before it for the page.
bool IsPrintableAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

std::optional<std::string> SiteOfPage(std::string_view address) {
  address = Trimmed(address);
  if (address.empty() || !IsPrintableAscii(address)) return std::nullopt;
  const std::optional<std::string> origin = SiteOrigin(address);
  if (!origin || !(origin->starts_with("http://") || origin->starts_with("https://"))) return std::nullopt;
  const std::string_view rest = address.substr(address.find("://") + 3);
  std::string_view path;
  if (const std::size_t start = rest.find_first_of("/?#"); start != std::string_view::npos) {
    path = rest.substr(start);
    path = path.substr(0, path.find_first_of("?#"));
  }
  // "host/" is the whole site, as "host" is: one entry, not two.
  if (path == "/") path = {};
  return origin->substr(origin->find("://") + 3) + std::string(path);
}

std::string EscapedAttribute(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else if (c == '\'')
      out += "&apos;";
    else
      out += c;
  }
  return out;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::vector<std::string> IeModeSites(std::string_view pages) {
  std::vector<std::string> sites;
  while (!pages.empty()) {
    const std::size_t end = pages.find(';');
    if (std::optional<std::string> site = SiteOfPage(pages.substr(0, end))) {
      if (std::find(sites.begin(), sites.end(), *site) == sites.end()) sites.push_back(std::move(*site));
    }
    if (end == std::string_view::npos) break;
    pages.remove_prefix(end + 1);
  }
  return sites;
}

std::string IeModeSiteListXml(const std::vector<std::string>& sites, std::uint32_t version) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  xml += "<site-list version=\"" + std::to_string(std::max<std::uint32_t>(version, 1)) + "\">\r\n";
  xml += "  <created-by>\r\n    <tool>Brevant</tool>\r\n  </created-by>\r\n";
  for (const std::string& site : sites) {
    xml += "  <site url=\"" + EscapedAttribute(site) + "\">\r\n";
    xml += "    <compat-mode>Default</compat-mode>\r\n";
    xml += "    <open-in>IE11</open-in>\r\n";
    xml += "  </site>\r\n";
  }
  xml += "</site-list>\r\n";
  return xml;
}

std::uint32_t NextSiteListVersion(std::uint32_t recorded, std::int64_t unix_seconds) {
  const std::int64_t minutes = std::clamp<std::int64_t>(unix_seconds / 60, 0, kLargestVersion);
  const std::uint32_t after_recorded = recorded >= kLargestVersion ? kLargestVersion : recorded + 1;
  return std::max(after_recorded, static_cast<std::uint32_t>(minutes));
}

std::string FileUrl(std::string_view utf8_path) {
  std::string url = "file:///";
  std::size_t drive_colon = std::string_view::npos;
  if (utf8_path.starts_with("\\\\")) {
    url = "file://";
    utf8_path.remove_prefix(2);
  } else if (utf8_path.size() >= 2 && IsDriveLetter(utf8_path[0]) && utf8_path[1] == ':') {
    drive_colon = 1;
  }
  constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < utf8_path.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8_path[i]);
    if (c == '\\' || c == '/') {
      url += '/';
    } else if (IsUnreserved(c) || i == drive_colon) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0xF];
    }
  }
  return url;
}

}  // namespace corvane
