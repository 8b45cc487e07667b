// Hashing with the platform's CNG providers.
#pragma once
#include <windows.h>

#include <cstddef>
#include <initializer_list>

namespace fw {

struct ByteSpan {
  const void* data;
  std::size_t size;
};

// The digest of the parts taken in order, with a CNG algorithm such as
// BCRYPT_SHA1_ALGORITHM or BCRYPT_SHA256_ALGORITHM; false on any failure.
bool CngHash(const wchar_t* algorithm, std::initializer_list<ByteSpan> parts, unsigned char* digest,
             unsigned long digest_size);

}  // namespace fw
