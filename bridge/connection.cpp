#include "connection.h"

#include <cstdint>
#include <optional>

#include "console.h"
#include "frame_codec.h"
#include "handshake.h"
#include "handshake_text.h"
#include "secret_buffer.h"

namespace corvane {
namespace {

constexpr std::uint8_t kFinalCloseFrame = 0x88;
// The shortest masked frame: two header bytes and the masking key.
constexpr int kShortestFrame = 6;

// Received bytes may hold PINs (masking hides nothing from a reader of the
// trace): wiped once they have been answered, and when the connection ends.
using ReceiveBuffer = tk::SecretBuffer<kReceiveBlock + 1>;

// Answers one received frame; false when the client closed the connection.
bool AnswerFrame(SOCKET socket, const char* received, int size, const Peer& peer,
                 const RequestHandler& handle_request) {
  if (static_cast<std::uint8_t>(received[0]) == kFinalCloseFrame) return false;
  std::optional<std::string> request;
  if (size >= kShortestFrame) request = DecodeFrame(reinterpret_cast<const std::uint8_t*>(received), size);
  // The trace names the frame, never its bytes: an unblocking request
  // carries both PINs.
  WriteOut("frame: " + std::to_string(size) + " bytes\n");
  std::string reply;
  if (request) {
    reply = handle_request(*request, peer);
    tk::SecureWipe(request->data(), request->size());
  }
  if (const std::optional<std::string> frame = EncodeTextFrame(reply)) SendAll(socket, *frame);
  return true;
}

}  // namespace

void ServeConnection(ScopedSocket socket, const RequestHandler& handle_request) {
  ReceiveBuffer buffer;
  char* const received_bytes = reinterpret_cast<char*>(buffer.data());
  std::optional<Peer> peer;  // set by the handshake
  bool first_block = true;
  for (;;) {
    const int received = recv(socket.get(), received_bytes, kReceiveBlock, 0);
    if (received <= 0) break;
    received_bytes[received] = '\0';
    if (!peer) {
      // Anything without a usable key is ignored; the client may try again.
      const std::string_view text(received_bytes, received);
      if (const std::optional<std::string> accept = AcceptValue(text)) {
        peer = PeerOfHandshake(text, first_block);
        SendAll(socket.get(), HandshakeResponse(*accept));
      }
      first_block = false;
      continue;
    }
    const bool open = AnswerFrame(socket.get(), received_bytes, received, *peer, handle_request);
    tk::SecureWipe(received_bytes, buffer.capacity());
    if (!open) break;
  }
}

}  // namespace corvane
