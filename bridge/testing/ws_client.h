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
// What the bridge must answer to HandshakeRequest()'s sample key: the accept
// value, and the whole response.
inline constexpr char kSampleAccept[] = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";
inline constexpr char kSampleAnswer[] =
    "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n";

// A client frame: `first_byte` holds FIN and the opcode; masked unless told
// otherwise. `declared_length` overrides the length written in the header.
std::string ClientFrame(std::string_view payload, std::uint8_t first_byte = 0x81, bool masked = true,
                        std::optional<std::uint64_t> declared_length = std::nullopt);
// `text` grown to exactly one receive block of the bridge by a filler header
// line after its first line. The bridge never takes more than a block in one
// receive, so a block reaches it in a receive of its own however the bytes
// sent after it arrive: TCP keeps no boundaries between sends. Throws
// std::length_error when `text` has no line end or does not fit.
std::string FillReceiveBlock(std::string_view text);

// How long a client waits for an answer or for the bridge to close: only a
// failing test waits it out, and a loaded machine can hold a bridge (or a
// connection beyond the listen backlog, taken on the kernel's retransmission)
// for seconds.
inline constexpr unsigned kAnswerWaitMs = 30000;

enum class Received { kData, kTimeout, kClosed };

class WsClient {
 public:
  WsClient() = default;
  // Connects to 127.0.0.1:`port`.
  bool Connect(unsigned short port);
  bool Send(std::string_view bytes);
  // What arrives next within `timeout_ms` (appended to `bytes`).
  Received Receive(std::string& bytes, unsigned timeout_ms = kAnswerWaitMs);
  // Sends HandshakeRequest() and reads the response; true when it is
  // kSampleAnswer.
  bool Handshake(std::string* response = nullptr, std::optional<std::string_view> origin = std::nullopt);
  // Reads until `answer` holds a whole header block (a handshake's answer),
  // keeping whatever arrived after it; false when the connection closed or
  // nothing came in time.
  bool ReadHeaderBlock(std::string& answer);
  // One request as a masked text frame; the payload of the one reply frame,
  // or nothing when none arrived in time or it was not a final text frame.
  std::optional<std::string> Call(std::string_view request, unsigned timeout_ms = kAnswerWaitMs);
  // Reads one whole server frame's payload.
  std::optional<std::string> ReadFrame(unsigned timeout_ms = kAnswerWaitMs);
  void Close() { socket_.reset(); }

 private:
  ScopedSocket socket_;
  std::string pending_;  // received bytes not yet taken as a frame
};

}  // namespace corvane::testing
