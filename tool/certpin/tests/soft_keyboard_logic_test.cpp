// The soft keyboard's arithmetic: shuffles, scrambling and its undoing.
#include "soft_keyboard_logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <numeric>

namespace {

using brevant::CrtRandom;

TEST(SoftKeyboardLogic, TheGeneratorIsTheCRuntimes) {
  CrtRandom random(1);
  EXPECT_EQ(random(), 41);  // the runtime's first values for seed 1
  EXPECT_EQ(random(), 18467);
  EXPECT_EQ(random(), 6334);
}

TEST(SoftKeyboardLogic, ShufflesHoldEveryKeyOnceAndDifferBetweenOpenings) {
  CrtRandom random(20261208);
  const auto first = brevant::RandomPermutation(10, std::ref(random));
  const auto second = brevant::RandomPermutation(10, std::ref(random));
  for (const auto& order : {first, second, brevant::RandomPermutation(26, std::ref(random))}) {
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> expected(order.size());
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(sorted, expected);
  }
  EXPECT_NE(first, second);
}

TEST(SoftKeyboardLogic, ADigitOrLetterSentScrambledArrivesAsItself) {
  CrtRandom random(7);
  for (int round = 0; round < 50; ++round) {
    for (std::uint8_t key = '0'; key <= '9'; ++key) {
      const auto sent = brevant::ScrambleKey(key, std::ref(random));
      EXPECT_EQ(brevant::Unscramble(static_cast<char>(sent.virtual_key), sent.offsets), static_cast<char>(key));
    }
    for (std::uint8_t key = 'A'; key <= 'Z'; ++key) {
      const auto sent = brevant::ScrambleKey(key, std::ref(random));
      const char lower = static_cast<char>(sent.virtual_key - 'A' + 'a');  // what arrives with Caps Lock off
      EXPECT_EQ(brevant::Unscramble(lower, sent.offsets), static_cast<char>(key - 'A' + 'a'));
      EXPECT_NE(sent.virtual_key, key) << "offsets are never 0";
    }
  }
}

TEST(SoftKeyboardLogic, SpaceAndPunctuationBecomePunctuationOtherKeysStay) {
  CrtRandom random(3);
  const auto is_punctuation = [](std::uint8_t key) {
    return std::find(std::begin(brevant::kPunctuationOrder), std::end(brevant::kPunctuationOrder), key) !=
           std::end(brevant::kPunctuationOrder);
  };
  for (int round = 0; round < 30; ++round) {
    EXPECT_TRUE(is_punctuation(brevant::ScrambleKey(0x20, std::ref(random)).virtual_key));
    const auto moved = brevant::ScrambleKey(0xBA, std::ref(random));
    EXPECT_TRUE(is_punctuation(moved.virtual_key));
    EXPECT_NE(moved.virtual_key, 0xBA);
    EXPECT_EQ(brevant::ScrambleKey(0x0D, std::ref(random)).virtual_key, 0x0D);
  }
}

}  // namespace
