#include "site_origin.h"

#include <algorithm>
#include <charconv>

#include "ascii_case.h"

namespace sites {
namespace {

std::string Lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), tk::AsciiLower);
  return out;
}

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsScheme(std::string_view scheme) {
  return !scheme.empty() && IsAlpha(scheme[0]) && std::all_of(scheme.begin(), scheme.end(), [](char c) {
           return IsAlpha(c) || IsDigit(c) || c == '+' || c == '-' || c == '.';
         });
}

bool IsHost(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[')  // an IPv6 literal
    return host.size() > 2 && host.back() == ']' && std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
             return IsDigit(c) || IsAlpha(c) || c == ':' || c == '.';
           });
  return std::all_of(host.begin(), host.end(),
                     [](char c) { return IsAlpha(c) || IsDigit(c) || c == '-' || c == '.' || c == '_'; });
}

int DefaultPort(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") return 80;
  if (scheme == "https" || scheme == "wss") return 443;
  return 0;
}

// The port text after a host: empty (no port, or "host:": the default) or
// 1 to 65535. False when it is neither; `port` is 0 for the default.
bool ReadPort(std::string_view text, int& port) {
  port = 0;
  if (text.empty()) return true;
  if (text.size() > 5 || !std::all_of(text.begin(), text.end(), IsDigit)) return false;
  std::from_chars(text.data(), text.data() + text.size(), port);
  return port >= 1 && port <= 65535;
}

}  // namespace

std::optional<std::string> SiteOrigin(std::string_view address) {
  address = Trimmed(address);
  const std::size_t separator = address.find("://");
  if (separator == std::string_view::npos) return std::nullopt;
  const std::string scheme = Lowered(address.substr(0, separator));
  const std::string_view rest = address.substr(separator + 3);
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (!IsScheme(scheme) || authority.find('@') != std::string_view::npos) return std::nullopt;

  if (authority.empty()) return std::nullopt;
  // An IPv6 literal holds colons of its own: its port follows the bracket.
  std::string_view host_text = authority, port_text;
  if (authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host_text = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return std::nullopt;
      port_text = after.substr(1);
    }
  } else if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host_text = authority.substr(0, colon);
    port_text = authority.substr(colon + 1);
  }
  const std::string host = Lowered(host_text);
  int port = 0;
  if (!IsHost(host) || !ReadPort(port_text, port)) return std::nullopt;
  std::string origin = scheme + "://" + host;
  if (port != 0 && port != DefaultPort(scheme)) origin += ":" + std::to_string(port);
  if (origin.size() > kMaxOriginLength) return std::nullopt;  // no page has it
  return origin;
}

std::optional<std::string> PageOrigin(std::wstring_view address) {
  if (address.size() > kMaxPageAddressLength) return std::nullopt;
  std::string text(address.size(), '\x7F');
  std::transform(address.begin(), address.end(), text.begin(),
                 [](wchar_t c) { return c > 0x20 && c < 0x7F ? static_cast<char>(c) : '\x7F'; });
  std::optional<std::string> origin = SiteOrigin(text);
  if (!origin || !(origin->starts_with("http://") || origin->starts_with("https://"))) return std::nullopt;
  return origin;
}

TrustedOrigins::TrustedOrigins(std::string_view address_list) {
  while (!address_list.empty()) {
    const std::size_t end = address_list.find(';');
    if (const std::optional<std::string> origin = SiteOrigin(address_list.substr(0, end))) {
      if (std::find(origins_.begin(), origins_.end(), *origin) == origins_.end()) origins_.push_back(*origin);
    }
    if (end == std::string_view::npos) break;
    address_list.remove_prefix(end + 1);
  }
}

bool TrustedOrigins::MayChangeTheKey(const Peer& peer) const {
  if (!peer.is_page) return true;
  return !peer.origin.empty() && std::find(origins_.begin(), origins_.end(), peer.origin) != origins_.end();
}

}  // namespace sites
