// A fixed-size byte buffer for secrets (unmasked PIN characters) that is wiped
// when it goes out of scope, so a PIN lives in plain form only for the length
// of one comparison.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tk {

// Zeroes memory in a way the optimiser may not drop.
inline void SecureWipe(void* data, std::size_t size) {
  volatile std::uint8_t* p = static_cast<volatile std::uint8_t*>(data);
  while (size--) *p++ = 0;
}

template <std::size_t Capacity>
class SecretBuffer {
 public:
  SecretBuffer() = default;
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;
  ~SecretBuffer() { SecureWipe(bytes_, sizeof(bytes_)); }

  std::uint8_t* data() { return bytes_; }
  const std::uint8_t* data() const { return bytes_; }
  std::size_t size() const { return size_; }
  static constexpr std::size_t capacity() { return Capacity; }
  // Sets the used length; refuses lengths beyond the capacity.
  bool resize(std::size_t size) {
    if (size > Capacity) return false;
    size_ = size;
    return true;
  }

 private:
  std::uint8_t bytes_[Capacity] = {};
  std::size_t size_ = 0;
};

}  // namespace tk
