#include "pin_hash.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "secret_buffer.h"

namespace sim {
namespace {

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;

bool Sha256(const std::vector<std::uint8_t>& salt, const void* pin, std::size_t length,
            std::uint8_t (&digest)[kHashBytes]) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  ok = ok && BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(salt.data()), static_cast<ULONG>(salt.size()), 0));
  ok = ok && BCRYPT_SUCCESS(BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(pin)),
                                           static_cast<ULONG>(length), 0));
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, kHashBytes, 0));
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  return ok;
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
