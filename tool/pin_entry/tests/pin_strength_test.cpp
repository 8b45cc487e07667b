// The PIN rules over masked PINs: too simple or not, grades, OK enabling.
#include "pin_strength.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using brevant::PinGrade;

// The PIN masked the way a PIN field masks it.
brevant::PinAnalysis Analyse(const char* pin) {
  std::uint8_t mask[brevant::kPinFieldMaskSize];
  for (std::size_t i = 0; i < sizeof mask; ++i) mask[i] = static_cast<std::uint8_t>(37 * i + 11);
  std::vector<std::uint8_t> masked(std::strlen(pin));
  for (std::size_t i = 0; i < masked.size(); ++i) masked[i] = static_cast<std::uint8_t>(pin[i]) ^ mask[i % 32];
  return brevant::AnalyseMaskedPin(masked.data(), masked.size(), mask);
}

TEST(PinStrength, TooSimpleAndGrades) {
  struct Case {
    const char* pin;
    bool too_simple;
    PinGrade grade;
  };
  const Case cases[] = {
      {"111111", true, PinGrade::Low},      {"123456", true, PinGrade::Low},
      {"abcdef", true, PinGrade::Low},      {"654321", true, PinGrade::Low},
      {"FEDCBA", true, PinGrade::Low},      {"123457", false, PinGrade::Low},   // longest run 5 of 6
      {"12345a", false, PinGrade::Medium},  {"aAbBcC", false, PinGrade::Low},   // both cases count once
      {"112233", false, PinGrade::Low},     {"ab1!cd", true, PinGrade::High},
      {"", true, PinGrade::Low},
  };
  for (const Case& c : cases) {
    const brevant::PinAnalysis analysis = Analyse(c.pin);
    EXPECT_EQ(brevant::IsPinTooSimple(analysis, std::strlen(c.pin)), c.too_simple) << c.pin;
    EXPECT_EQ(brevant::GradePin(analysis), c.grade) << c.pin;
  }
}

TEST(PinStrength, RunsResetEachOther) {
  const brevant::PinAnalysis analysis = Analyse("1123334567");
  EXPECT_EQ(analysis.repeat_run, 3);
  EXPECT_EQ(analysis.ascending_run, 5) << "after the repeated 3s the rise starts again: 34567";
  EXPECT_EQ(analysis.descending_run, 1);
  EXPECT_EQ(Analyse("9").repeat_run, 1);
}

TEST(PinStrength, OkNeedsSixToTwentyCharacters) {
  EXPECT_TRUE(brevant::PinChangeAllowed(6, 6, 20, false));
  EXPECT_FALSE(brevant::PinChangeAllowed(6, 5, 6, false));
  EXPECT_FALSE(brevant::PinChangeAllowed(6, 21, 21, false));
  EXPECT_FALSE(brevant::PinChangeAllowed(0, 8, 8, false));
  EXPECT_TRUE(brevant::PinChangeAllowed(0, 8, 8, true)) << "first use: the old PIN is built in";
}

TEST(PinRules, LabelDialogNeedsALabelOfOneToFifteenBytesAndAPin) {
  EXPECT_TRUE(brevant::LabelChangeAllowed(1, 6));
  EXPECT_TRUE(brevant::LabelChangeAllowed(15, 20));
  EXPECT_FALSE(brevant::LabelChangeAllowed(0, 8)) << "empty label";
  EXPECT_FALSE(brevant::LabelChangeAllowed(16, 8));
  EXPECT_FALSE(brevant::LabelChangeAllowed(4, 5));
  EXPECT_FALSE(brevant::LabelChangeAllowed(4, 21));
}

}  // namespace
