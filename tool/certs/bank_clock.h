// The bank's clock: UTC + 8 hours, whatever the machine's time zone. Tests
// set it.
#pragma once
#include <windows.h>

#include <optional>

#include "key_record.h"

namespace brevant {

KeyDateTime BankTimeNow();
KeyDateTime ToKeyDateTime(const SYSTEMTIME& date);
// Until reset with nothing, BankTimeNow answers `now`.
void SetBankTimeForTesting(std::optional<KeyDateTime> now);

}  // namespace brevant
