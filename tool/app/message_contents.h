// What the main window reads out of the messages other programs send it:
// the data message's number and text, the idle timer's period.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace brevant {

// A data message: a decimal number in its first 8 characters, then a text.
// At most 127 characters are read (fewer when a terminator comes first),
// the text is cut to 63.
struct DataMessage {
  int number = 0;
  std::string text;
};
DataMessage ParseDataMessage(const char* data, std::size_t size);

// The idle timer's period for wParam/lParam of its message: lParam minutes
// when wParam is 0; nothing (the timer stops) otherwise.
std::optional<std::uint32_t> IdleTimerPeriodMs(std::uintptr_t wparam, std::intptr_t lparam);

}  // namespace brevant
