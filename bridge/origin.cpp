#include "origin.h"

#include <algorithm>

#include "ascii_case.h"

namespace corvane {
namespace {

using tk::EqualsIgnoringAsciiCase;

std::string Lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), tk::AsciiLower);
  return out;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Printable ASCII without blanks: what a serialised origin consists of.
bool IsOriginText(std::string_view text) {
  return !text.empty() && text.size() <= kMaxOriginLength &&
         std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

}  // namespace

Peer PeerOfHandshake(std::string_view received, bool from_connection_start) {
  const Peer unknown_page{true, ""};
  received = received.substr(0, received.find('\0'));
  const std::size_t block_end = received.find("\r\n\r\n");
  if (!from_connection_start || block_end == std::string_view::npos) return unknown_page;
  // Header lines follow the request line; each ends with CR LF.
  const std::string_view block = received.substr(0, block_end + 2);
  std::size_t at = block.find("\r\n") + 2;
  int origin_headers = 0;
  bool has_key_header = false;
  std::string_view origin;
  while (at < block.size()) {
    const std::size_t line_end = block.find("\r\n", at);
    const std::string_view line = block.substr(at, line_end - at);
    at = line_end + 2;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon);
    // Browsers of the drafts before RFC 6455 sent the origin under the longer name.
    if (EqualsIgnoringAsciiCase(name, "Origin") || EqualsIgnoringAsciiCase(name, "Sec-WebSocket-Origin")) {
      ++origin_headers;
      origin = Trimmed(line.substr(colon + 1));
    } else if (EqualsIgnoringAsciiCase(name, "Sec-WebSocket-Key")) {
      has_key_header = true;
    }
  }
  if (origin_headers == 0) return has_key_header ? Peer{false, ""} : unknown_page;
  if (origin_headers > 1 || !IsOriginText(origin)) return unknown_page;
  return Peer{true, Lowered(origin)};
}

}  // namespace corvane
