// PINs are kept only as salted SHA-256 hashes; the PIN given to a call is
// hashed and compared, never stored.
#pragma once
#include <cstddef>
#include <cstdint>

#include "key_model.h"

namespace sim {

// A fresh salt and the hash of `pin`; the retry counter set to its limit.
bool SetPin(PinState& state, const void* pin, std::size_t length, std::uint32_t retry_limit);
bool PinMatches(const PinState& state, const void* pin, std::size_t length);

}  // namespace sim
