#include "ws_client.h"

#include <ws2tcpip.h>

#include <random>
#include <stdexcept>

#include "connection.h"

namespace corvane::testing {
namespace {

std::uint32_t RandomMask() {
  static thread_local std::mt19937 generator{std::random_device{}()};
  return generator();
}

// Length of a whole server frame at the start of `bytes`, or 0 when more
// bytes are needed.
std::size_t WholeFrameLength(const std::string& bytes, std::size_t& header) {
  if (bytes.size() < 2) return 0;
  const std::uint8_t code = static_cast<std::uint8_t>(bytes[1]) & 0x7F;
  std::uint64_t length = code;
  header = 2;
  if (code == 126) {
    if (bytes.size() < 4) return 0;
    length = (static_cast<std::uint8_t>(bytes[2]) << 8) | static_cast<std::uint8_t>(bytes[3]);
    header = 4;
  } else if (code == 127) {
    if (bytes.size() < 10) return 0;
    length = 0;
    for (int i = 2; i < 10; ++i) length = (length << 8) | static_cast<std::uint8_t>(bytes[i]);
    header = 10;
  }
  return bytes.size() >= header + length ? static_cast<std::size_t>(header + length) : 0;
}

}  // namespace

std::string HandshakeRequest(std::string_view key, std::optional<std::string_view> origin) {
  std::string request = "GET /chat HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n";
  request += "Sec-WebSocket-Key: " + std::string(key) + "\r\n";
  if (origin) request += "Origin: " + std::string(*origin) + "\r\n";
  return request + "Sec-WebSocket-Version: 13\r\n\r\n";
}

std::string ClientFrame(std::string_view payload, std::uint8_t first_byte, bool masked,
                        std::optional<std::uint64_t> declared_length) {
  const std::uint64_t length = declared_length.value_or(payload.size());
  std::string frame(1, static_cast<char>(first_byte));
  const char mask_bit = masked ? static_cast<char>(0x80) : 0;
  if (length <= 125) {
    frame += static_cast<char>(mask_bit | static_cast<char>(length));
  } else if (length <= 0xFFFF) {
    frame += static_cast<char>(mask_bit | 126);
    frame += static_cast<char>(length >> 8);
    frame += static_cast<char>(length & 0xFF);
  } else {
    frame += static_cast<char>(mask_bit | 127);
    for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>((length >> shift) & 0xFF);
  }
  if (!masked) return frame + std::string(payload);
  const std::uint32_t mask = RandomMask();
  const char key[4] = {static_cast<char>(mask >> 24), static_cast<char>(mask >> 16), static_cast<char>(mask >> 8),
                       static_cast<char>(mask)};
  frame.append(key, 4);
  for (std::size_t i = 0; i < payload.size(); ++i) frame += static_cast<char>(payload[i] ^ key[i % 4]);
  return frame;
}

std::string FillReceiveBlock(std::string_view text) {
  static constexpr std::string_view kName = "X-Filler: ", kEnd = "\r\n";
  const std::size_t first_line_end = text.find(kEnd);
  const std::size_t block = static_cast<std::size_t>(corvane::kReceiveBlock);
  if (first_line_end == std::string_view::npos || text.size() + kName.size() + kEnd.size() > block)
    throw std::length_error("no receive block holds this text with a filler line");
  const std::size_t at = first_line_end + kEnd.size();
  std::string filled(text.substr(0, at));
  filled += kName;
  filled.append(block - text.size() - kName.size() - kEnd.size(), 'f');
  filled += kEnd;
  filled += text.substr(at);
  return filled;
}

bool WsClient::Connect(unsigned short port) {
  static const WinsockSession sockets;  // for the test program's lifetime
  socket_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket_) return false;
  const BOOL no_delay = TRUE;  // requests are small: send them at once
  setsockopt(socket_.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay), sizeof no_delay);
  const sockaddr_in address = corvane::LoopbackAddress(port);
  if (connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    socket_.reset();
    return false;
  }
  pending_.clear();
  return true;
}

bool WsClient::Send(std::string_view bytes) { return socket_ && SendAll(socket_.get(), bytes); }

Received WsClient::Receive(std::string& bytes, unsigned timeout_ms) {
  if (!socket_) return Received::kClosed;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_.get(), &readable);
  timeval timeout{static_cast<long>(timeout_ms / 1000), static_cast<long>((timeout_ms % 1000) * 1000)};
  if (select(0, &readable, nullptr, nullptr, &timeout) <= 0) return Received::kTimeout;
  char buffer[8192];
  const int received = recv(socket_.get(), buffer, sizeof buffer, 0);
  if (received <= 0) return Received::kClosed;
  bytes.append(buffer, static_cast<std::size_t>(received));
  return Received::kData;
}

bool WsClient::Handshake(std::string* response, std::optional<std::string_view> origin) {
  if (!Send(HandshakeRequest(kSampleKey, origin))) return false;
  std::string answer;
  if (!ReadHeaderBlock(answer)) return false;
  if (response != nullptr) *response = answer;
  return answer == kSampleAnswer;
}

bool WsClient::ReadHeaderBlock(std::string& answer) {
  while (answer.find("\r\n\r\n") == std::string::npos) {
    if (Receive(answer) != Received::kData) return false;
  }
  return true;
}

std::optional<std::string> WsClient::ReadFrame(unsigned timeout_ms) {
  std::size_t header = 0, whole = 0;
  while ((whole = WholeFrameLength(pending_, header)) == 0) {
    if (Receive(pending_, timeout_ms) != Received::kData) return std::nullopt;
  }
  const bool final_text = static_cast<std::uint8_t>(pending_[0]) == 0x81;
  std::string payload = pending_.substr(header, whole - header);
  pending_.erase(0, whole);
  if (!final_text) return std::nullopt;
  return payload;
}

std::optional<std::string> WsClient::Call(std::string_view request, unsigned timeout_ms) {
  if (!Send(ClientFrame(request))) return std::nullopt;
  return ReadFrame(timeout_ms);
}

}  // namespace corvane::testing
