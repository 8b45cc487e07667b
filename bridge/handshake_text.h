// The text side of the WebSocket opening handshake: finding the client's key
// in what was received and writing the response. Hashing is the platform's.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

inline constexpr char kWebSocketGuid[] = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
// The key and the GUID share a 256-byte buffer: longer keys are refused.
inline constexpr std::size_t kMaxKeyLength = 219;

// The "Sec-WebSocket-Key" value of a received request: at its first mention,
// after "Sec-WebSocket-Key:" and any white space, up to the next carriage
// return (or the end of the text). Nothing when the header is missing, empty
// or longer than kMaxKeyLength. The text ends at its first NUL.
std::optional<std::string> ExtractWebSocketKey(std::string_view received);

// What gets hashed: the key followed by the GUID.
std::string AcceptHashInput(std::string_view key);

// Base64 with the standard alphabet and "=" padding.
std::string Base64(const std::uint8_t* data, std::size_t size);

// The four-line 101 response carrying `accept`.
std::string HandshakeResponse(std::string_view accept);

}  // namespace corvane
