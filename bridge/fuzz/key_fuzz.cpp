// Any received handshake text: the key found is never empty, never longer
// than the buffer allows and never holds a carriage return.
#include <cstdlib>

#include "handshake_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<std::string> key =
      corvane::ExtractWebSocketKey(std::string_view(reinterpret_cast<const char*>(data), size));
  if (key && (key->empty() || key->size() > corvane::kMaxKeyLength || key->find('\r') != std::string::npos))
    std::abort();
  return 0;
}
