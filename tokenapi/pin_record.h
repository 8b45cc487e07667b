// Filling and reading PIN transfer records (count + masked characters + mask).
#pragma once
#include <cstddef>
#include <cstdint>

#include "secret_buffer.h"
#include "tk_defs.h"

namespace tk {

using PinPlain = SecretBuffer<kPinRecordDataSize>;

// Fills `record` with `length` characters of `pin` masked by `mask`
// (kPinMaskSize bytes). The record is zeroed first. False when the PIN does
// not fit the record.
bool MaskPinIntoRecord(const char* pin, std::size_t length, const std::uint8_t* mask,
                       PinTransferRecord& record);

// Unmasks a record into `plain`. False when the record's count is out of range.
bool UnmaskPinRecord(const PinTransferRecord& record, PinPlain& plain);

// True when both records hold the same PIN (same count, same characters once
// unmasked). Compares character by character without building either PIN.
bool PinRecordsEqual(const PinTransferRecord& a, const PinTransferRecord& b);

}  // namespace tk
