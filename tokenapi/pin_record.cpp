#include "pin_record.h"

#include <cstring>

namespace tk {

bool MaskPinIntoRecord(const char* pin, std::size_t length, const std::uint8_t* mask,
                       PinTransferRecord& record) {
  std::memset(&record, 0, sizeof(record));
  if (length > kPinRecordDataSize || (length > 0 && (pin == nullptr || mask == nullptr))) return false;
  record.count = static_cast<std::uint32_t>(length);
  if (mask != nullptr) std::memcpy(record.mask, mask, kPinMaskSize);
  for (std::size_t i = 0; i < length; ++i)
    record.data[i] = static_cast<std::uint8_t>(pin[i]) ^ record.mask[i % kPinMaskSize];
  return true;
}

bool UnmaskPinRecord(const PinTransferRecord& record, PinPlain& plain) {
  if (!plain.resize(record.count)) return false;
  for (std::size_t i = 0; i < record.count; ++i)
    plain.data()[i] = record.data[i] ^ record.mask[i % kPinMaskSize];
  return true;
}

bool PinRecordsEqual(const PinTransferRecord& a, const PinTransferRecord& b) {
  if (a.count != b.count || a.count > kPinRecordDataSize) return false;
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < a.count; ++i) {
    const std::uint8_t ca = a.data[i] ^ a.mask[i % kPinMaskSize];
    const std::uint8_t cb = b.data[i] ^ b.mask[i % kPinMaskSize];
    difference |= static_cast<std::uint8_t>(ca ^ cb);
  }
  return difference == 0;
}

}  // namespace tk
