// The PIN change dialog's rules: what a new PIN is made of, its strength
// grade, whether it is too simple, and when OK may be pressed. Worked out
// from the masked characters one at a time, so that the PIN never exists
// in plain form. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

namespace brevant {

constexpr std::size_t kPinFieldMaskSize = 32;
constexpr std::size_t kShortestPin = 6;
constexpr std::size_t kLongestPin = 20;

struct PinAnalysis {
  bool has_digit = false;
  bool has_upper = false;
  bool has_lower = false;
  bool has_other = false;
  int repeat_run = 0;      // longest run of one character
  int ascending_run = 0;   // longest run of codes rising by exactly 1
  int descending_run = 0;  // ... falling by exactly 1
};

// Character i of the PIN is masked[i] XOR mask[i mod 32].
PinAnalysis AnalyseMaskedPin(const std::uint8_t* masked, std::size_t count,
                             const std::uint8_t (&mask)[kPinFieldMaskSize]);

enum class PinGrade { Low, Medium, High };
// One point each for digits, other characters and letters (either case).
PinGrade GradePin(const PinAnalysis& analysis);

// Other characters, or digits only or letters only that form one run
// (all alike, rising or falling by one), or neither digits nor letters.
bool IsPinTooSimple(const PinAnalysis& analysis, std::size_t count);

// New PIN and confirmation 6 to 20 characters, and the old PIN too unless
// the change is the first-use one.
bool PinChangeAllowed(std::size_t old_count, std::size_t new_count, std::size_t confirmation_count,
                      bool first_use);

// A key label holds 1 to 15 bytes of the ANSI code page (a Chinese
// character takes two).
constexpr std::size_t kLongestLabel = 15;
// The label dialog: a label of 1 to 15 bytes and a PIN of 6 to 20 characters.
bool LabelChangeAllowed(std::size_t label_bytes, std::size_t pin_count);

}  // namespace brevant
