#include "pin_hash.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "cng_hash.h"
#include "secret_buffer.h"

namespace sim {
namespace {

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

bool Sha256(const std::vector<std::uint8_t>& salt, const void* pin, std::size_t length,
            std::uint8_t (&digest)[kHashBytes]) {
  return fw::CngHash(BCRYPT_SHA256_ALGORITHM, {{salt.data(), salt.size()}, {pin, length}}, digest, kHashBytes);
}

}  // namespace

bool SetPin(PinState& state, const void* pin, std::size_t length, std::uint32_t retry_limit) {
  if ((pin == nullptr && length > 0) || length < kMinPinLength || length > kMaxPinLength) return false;
  std::vector<std::uint8_t> salt(kSaltBytes);
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, salt.data(), static_cast<ULONG>(salt.size()),
                                      BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    return false;
  std::uint8_t digest[kHashBytes];
  if (!Sha256(salt, pin, length, digest)) return false;
  state.salt_hex = ToHex(salt);
  state.hash_hex = ToHex(std::vector<std::uint8_t>(digest, digest + kHashBytes));
  state.retry_limit = retry_limit;
  state.retries_left = retry_limit;
  return true;
}

bool PinMatches(const PinState& state, const void* pin, std::size_t length) {
  std::vector<std::uint8_t> salt, expected;
  if (pin == nullptr || !FromHex(state.salt_hex, salt) || !FromHex(state.hash_hex, expected) ||
      expected.size() != kHashBytes)
    return false;
  std::uint8_t digest[kHashBytes];
  if (!Sha256(salt, pin, length, digest)) return false;
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < kHashBytes; ++i) difference |= static_cast<std::uint8_t>(digest[i] ^ expected[i]);
  tk::SecureWipe(digest, sizeof(digest));
  return difference == 0;
}

}  // namespace sim
