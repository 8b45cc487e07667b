#include "cng_hash.h"

#include <bcrypt.h>

namespace fw {

bool CngHash(const wchar_t* algorithm, std::initializer_list<ByteSpan> parts, unsigned char* digest,
             unsigned long digest_size) {
  BCRYPT_ALG_HANDLE provider = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&provider, algorithm, nullptr, 0))) return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool ok = BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0));
  for (const ByteSpan& part : parts)
    ok = ok && BCRYPT_SUCCESS(BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(part.data)),
                                             static_cast<ULONG>(part.size), 0));
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, digest_size, 0));
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(provider, 0);
  return ok;
}

}  // namespace fw
