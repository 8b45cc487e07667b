#include "message_contents.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "text_cut.h"

namespace brevant {
namespace {

constexpr std::size_t kDataChars = 127;
constexpr std::size_t kNumberChars = 8;
constexpr std::size_t kTextBytes = 64;
constexpr std::uint32_t kMinuteMs = 60000;
// A period beyond this would overflow the timer's 32-bit milliseconds.
constexpr std::intptr_t kMaxMinutes = 0xFFFFFFFFu / kMinuteMs;

}  // namespace

DataMessage ParseDataMessage(const char* data, std::size_t size) {
  DataMessage message;
  if (data == nullptr) return message;
  const std::string_view all(data, strnlen(data, std::min(size, kDataChars)));
  message.number = ParseDecimal(all.substr(0, std::min(all.size(), kNumberChars)));
  if (all.size() > kNumberChars) message.text = CutText(all.substr(kNumberChars), kTextBytes);
  return message;
}

std::optional<std::uint32_t> IdleTimerPeriodMs(std::uintptr_t wparam, std::intptr_t lparam) {
  if (wparam != 0) return std::nullopt;
  const std::intptr_t minutes = std::clamp<std::intptr_t>(lparam, 0, kMaxMinutes);
  return static_cast<std::uint32_t>(minutes) * kMinuteMs;
}

}  // namespace brevant
