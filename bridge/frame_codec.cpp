#include "frame_codec.h"

namespace corvane {

std::optional<std::string> DecodeFrame(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 2) return std::nullopt;
  const bool final_frame = (data[0] & 0x80) != 0;
  const bool masked = (data[1] & 0x80) != 0;
  if (!final_frame || !masked) return std::nullopt;

  const std::uint8_t code = data[1] & 0x7F;
  std::size_t header = 2;
  std::uint64_t length = code;
  if (code == 126) {
    header = 4;
    if (size < header) return std::nullopt;
    length = (std::uint64_t{data[2]} << 8) | data[3];
  } else if (code == 127) {
    header = 10;
    if (size < header) return std::nullopt;
    length = 0;
    for (int i = 2; i < 10; ++i) length = (length << 8) | data[i];
  }
  const std::size_t mask_at = header;
  const std::size_t payload_at = header + 4;
  // The declared length is checked against what arrived: never read past it.
  if (size < payload_at || length > size - payload_at) return std::nullopt;

  std::string text(static_cast<std::size_t>(length), '\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char>(data[payload_at + i] ^ data[mask_at + (i % 4)]);
  return text;
}

std::optional<std::string> EncodeTextFrame(std::string_view text) {
  const std::size_t n = text.size();
  if (n > kMaxReplyText) return std::nullopt;
  std::string frame;
  frame.reserve(n + 4);
  frame.push_back(static_cast<char>(0x81));
  if (n <= 125) {
    frame.push_back(static_cast<char>(n));
  } else {
    frame.push_back(static_cast<char>(126));
    frame.push_back(static_cast<char>((n >> 8) & 0xFF));
    frame.push_back(static_cast<char>(n & 0xFF));
  }
  frame.append(text);
  return frame;
}

}  // namespace corvane
