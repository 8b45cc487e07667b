#include "handshake_text.h"

namespace corvane {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

std::optional<std::string> ExtractWebSocketKey(std::string_view received) {
  received = received.substr(0, received.find('\0'));
  static constexpr std::string_view kHeader = "Sec-WebSocket-Key";
  const std::size_t at = received.find(kHeader);
  if (at == std::string_view::npos) return std::nullopt;
  std::size_t pos = at + kHeader.size();
  if (pos >= received.size() || received[pos] != ':') return std::nullopt;
  ++pos;
  while (pos < received.size() && IsSpace(received[pos])) ++pos;  // as a blank in a scan format does
  const std::size_t end = received.find('\r', pos);
  const std::string_view key = received.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
  if (key.empty() || key.size() > kMaxKeyLength) return std::nullopt;
  return std::string(key);
}

std::string AcceptHashInput(std::string_view key) { return std::string(key) + kWebSocketGuid; }

std::string Base64(const std::uint8_t* data, std::size_t size) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (std::size_t i = 0; i < size; i += 3) {
    const std::uint32_t a = data[i];
    const std::uint32_t b = i + 1 < size ? data[i + 1] : 0;
    const std::uint32_t c = i + 2 < size ? data[i + 2] : 0;
    const std::uint32_t triple = (a << 16) | (b << 8) | c;
    out.push_back(kAlphabet[(triple >> 18) & 63]);
    out.push_back(kAlphabet[(triple >> 12) & 63]);
    out.push_back(i + 1 < size ? kAlphabet[(triple >> 6) & 63] : '=');
    out.push_back(i + 2 < size ? kAlphabet[triple & 63] : '=');
  }
  return out;
}

std::string HandshakeResponse(std::string_view accept) {
  return std::string("HTTP/1.1 101 Switching Protocols\r\n") + "Upgrade: websocket\r\n" + "Connection: Upgrade\r\n" +
         "Sec-WebSocket-Accept: " + std::string(accept) + "\r\n\r\n";
}

}  // namespace corvane
