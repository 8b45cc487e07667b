// The text shown when a key is plugged in: "key inserted", and whether the
// key's certificate is not yet valid, has expired, or runs out today or
// within 30 days, with its validity dates. Plain dates in, text out.
#pragma once
#include <cstdint>
#include <string>

#include "key_record.h"

namespace brevant {

struct ExpiryTexts {
  std::string key_insert;     // TOOL / KEY_INSERT
  std::string before_effect;  // CERTINFO / CERT_BEFORE_EFFECT
  std::string after_effect;   // CERTINFO / CERT_AFTER_EFFECT
  std::string today;          // CERTINFO / CERT_OUTTIME_TODAY
  std::string someday1;       // CERTINFO / CERT_OUTTIME_SOMEDAY1, then the days
  std::string someday2;       // CERTINFO / CERT_OUTTIME_SOMEDAY2
  std::string effect_time;    // CERTINFO / EFFECT_TIME
};

// Days since 1970-01-01 of a Gregorian date (negative before).
std::int64_t DaysFromCivil(int year, int month, int day);
// Seconds from `from` to `to` (negative when `to` is earlier).
std::int64_t SecondsBetween(const KeyDateTime& from, const KeyDateTime& to);

// The notice for a key whose certificate is valid from `valid_from` to
// `valid_to`, seen at `now` (all in the same clock: the bank's, UTC+8).
// Without a certificate it is the "key inserted" text alone. Cut to fit the
// tool's 260-byte text buffer.
std::string InsertionNotice(const ExpiryTexts& texts, bool has_cert, const KeyDateTime& valid_from,
                            const KeyDateTime& valid_to, const KeyDateTime& now);

// The slot whose dates the notice uses: the first with a container and a
// valid-to year, else 0.
std::size_t NoticeSlot(const KeyRecord& record);

}  // namespace brevant
