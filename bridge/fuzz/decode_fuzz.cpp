// Any received block: decoding never reads past it, and a decoded payload is
// never longer than what arrived.
#include <cstdlib>

#include "frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<std::string> text = corvane::DecodeFrame(data, size);
  if (text && text->size() + 6 > size) std::abort();
  if (text) {
    const std::optional<std::string> frame = corvane::EncodeTextFrame(*text);
    if (frame && frame->size() < text->size() + 2) std::abort();
  }
  return 0;
}
