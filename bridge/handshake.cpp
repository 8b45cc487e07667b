#include "handshake.h"

#include <windows.h>
#include <bcrypt.h>

#include "cng_hash.h"
#include "handshake_text.h"

namespace corvane {

std::optional<std::string> AcceptValue(std::string_view received) {
  const std::optional<std::string> key = ExtractWebSocketKey(received);
  if (!key) return std::nullopt;
  const std::string input = AcceptHashInput(*key);
  unsigned char digest[20];
  if (!fw::CngHash(BCRYPT_SHA1_ALGORITHM, {{input.data(), input.size()}}, digest, sizeof digest)) return std::nullopt;
  return Base64(digest, sizeof digest);
}

}  // namespace corvane
