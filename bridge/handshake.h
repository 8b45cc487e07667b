// The accept value of the WebSocket opening handshake, hashed with the
// platform's SHA-1 (CNG).
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The "Sec-WebSocket-Accept" value for a received request, or nothing when
// the request carries no usable key.
std::optional<std::string> AcceptValue(std::string_view received);

}  // namespace corvane
