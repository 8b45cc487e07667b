#include "pin_strength.h"

#include <algorithm>

namespace brevant {
namespace {

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }
bool IsUpper(std::uint8_t c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(std::uint8_t c) { return c >= 'a' && c <= 'z'; }
bool InLength(std::size_t count) { return count >= kShortestPin && count <= kLongestPin; }

}  // namespace

PinAnalysis AnalyseMaskedPin(const std::uint8_t* masked, std::size_t count,
                             const std::uint8_t (&mask)[kPinFieldMaskSize]) {
  PinAnalysis analysis;
  if (masked == nullptr || count == 0) return analysis;
  int repeat = 0, ascending = 0, descending = 0;
  std::uint8_t previous = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t c = masked[i] ^ mask[i % kPinFieldMaskSize];
    if (IsDigit(c)) analysis.has_digit = true;
    else if (IsUpper(c)) analysis.has_upper = true;
    else if (IsLower(c)) analysis.has_lower = true;
    else analysis.has_other = true;
    if (i == 0) {
      repeat = ascending = descending = 1;
    } else if (c == previous) {
      ++repeat;
      ascending = descending = 1;
    } else {
      repeat = 1;
      ascending = c == previous + 1 ? ascending + 1 : 1;
      descending = c + 1 == previous ? descending + 1 : 1;
    }
    analysis.repeat_run = std::max(analysis.repeat_run, repeat);
    analysis.ascending_run = std::max(analysis.ascending_run, ascending);
    analysis.descending_run = std::max(analysis.descending_run, descending);
    previous = c;
  }
  return analysis;
}

PinGrade GradePin(const PinAnalysis& analysis) {
  const int score = (analysis.has_digit ? 1 : 0) + (analysis.has_other ? 1 : 0) +
                    (analysis.has_upper || analysis.has_lower ? 1 : 0);
  if (score < 2) return PinGrade::Low;
  return score == 2 ? PinGrade::Medium : PinGrade::High;
}

bool IsPinTooSimple(const PinAnalysis& analysis, std::size_t count) {
  if (analysis.has_other) return true;
  const bool letters = analysis.has_upper || analysis.has_lower;
  if (analysis.has_digit && letters) return false;
  if (!analysis.has_digit && !letters) return true;
  const int longest = std::max({analysis.repeat_run, analysis.ascending_run, analysis.descending_run});
  return static_cast<std::size_t>(longest) >= count;
}

bool PinChangeAllowed(std::size_t old_count, std::size_t new_count, std::size_t confirmation_count,
                      bool first_use) {
  return InLength(new_count) && InLength(confirmation_count) && (first_use || InLength(old_count));
}

bool LabelChangeAllowed(std::size_t label_bytes, std::size_t pin_count) {
  return label_bytes >= 1 && label_bytes <= kLongestLabel && pin_count >= kShortestPin && pin_count <= kLongestPin;
}

}  // namespace brevant
