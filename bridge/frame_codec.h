// WebSocket frames as the bridge reads and writes them: one masked client
// frame per received block in, one unmasked final text frame per reply out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Largest reply text that fits one frame the bridge sends.
inline constexpr std::size_t kMaxReplyText = 65534;

// The unmasked payload of a received frame, or nothing when the frame is not
// final, not masked, or declares more payload than `size` bytes hold. The
// opcode is not looked at.
std::optional<std::string> DecodeFrame(const std::uint8_t* data, std::size_t size);

// `text` as one final, unmasked text frame; nothing when it is longer than
// kMaxReplyText.
std::optional<std::string> EncodeTextFrame(std::string_view text);

}  // namespace corvane
