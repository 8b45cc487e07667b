// What the main window remembers of each key between tree refreshes: the
// containers holding certificates and their validity dates. Rebuilt for a key
// each time its containers are listed.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace brevant {

// A calendar date-time with the field order and widths of SYSTEMTIME, so the
// certificate code can fill it from FileTimeToSystemTime field by field.
struct KeyDateTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day_of_week = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};
static_assert(sizeof(KeyDateTime) == 16, "eight 16-bit fields");

// Kind of the certificate listed last.
inline constexpr std::uint32_t kKeyRecordSignature = 0x40002000;
inline constexpr std::uint32_t kKeyRecordExchange = 0x40001000;

// Containers beyond this position have no slot, and so no certificate node.
inline constexpr std::size_t kKeyRecordSlots = 10;

struct KeyRecord {
  std::string text;
  std::uint32_t kind = 0;
  std::array<std::string, kKeyRecordSlots> containers;  // empty: slot free
  std::array<KeyDateTime, kKeyRecordSlots> valid_from{};
  std::array<KeyDateTime, kKeyRecordSlots> valid_to{};
};

// Keyed by reader name; std::less compares byte for byte, so names differing
// only in case are different keys.
using KeyRecordMap = std::map<std::string, KeyRecord>;

}  // namespace brevant
