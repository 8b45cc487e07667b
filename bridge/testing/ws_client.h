// A raw WebSocket client for the bridge's end-to-end tests and benchmark:
// it writes exactly the bytes it is told to, so tests can also send what a
// browser never would.
#pragma once
#include <winsock2.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "socket.h"

namespace corvane::testing {

// The opening request of RFC 6455's example (its key is the RFC's sample),
// with an "Origin" header as a browser sends it, or without one as a program
// on this machine does.
inline constexpr char kSampleKey[] = "dGhlIHNhbXBsZSBub25jZQ==";
std::string HandshakeRequest(std::string_view key = kSampleKey, std::optional<std::string_view> origin = std::nullopt);
// What the bridge must answer to HandshakeRequest()'s sample key.
inline constexpr char kSampleAccept[] = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";

// A client frame: `first_byte` holds FIN and the opcode; masked unless told
// otherwise. `declared_length` overrides the length written in the header.
std::string ClientFrame(std::string_view payload, std::uint8_t first_byte = 0x81, bool masked = true,
                        std::optional<std::uint64_t> declared_length = std::nullopt);

enum class Received { kData, kTimeout, kClosed };

class WsClient {
 public:
  WsClient() = default;
  // Connects to 127.0.0.1:`port`.
  bool Connect(unsigned short port);
  bool Send(std::string_view bytes);
  // What arrives next within `timeout_ms` (appended to `bytes`).
  Received Receive(std::string& bytes, unsigned timeout_ms = 5000);
  // Sends HandshakeRequest() and reads the response; true when it is the
  // bridge's 101 response with the sample's accept value.
  bool Handshake(std::string* response = nullptr, std::optional<std::string_view> origin = std::nullopt);
  // One request as a masked text frame; the payload of the one reply frame,
  // or nothing when none arrived in time or it was not a final text frame.
  std::optional<std::string> Call(std::string_view request, unsigned timeout_ms = 5000);
  // Reads one whole server frame's payload.
  std::optional<std::string> ReadFrame(unsigned timeout_ms = 5000);
  void Close() { socket_.reset(); }

 private:
  ScopedSocket socket_;
  std::string pending_;  // received bytes not yet taken as a frame
};

}  // namespace corvane::testing
