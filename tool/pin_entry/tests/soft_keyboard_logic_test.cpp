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

TEST(SoftKeyboardLogic, CaptionsShowBothCharactersAndNoMnemonic) {
  const struct {
    std::uint8_t key;
    bool upper;
    const char* caption;
  } cases[] = {
      {'1', false, "1 !"}, {'7', false, "7 &&"}, {'0', true, "0 )"},     {'Q', false, "q"},
      {'Q', true, "Q"},    {0xBA, false, "; :"}, {0xDE, false, "' \""}, {0xC0, true, "` ~"},
      {0x7B, false, "F12"}, {0x0D, false, "Enter"}, {0x20, false, ""},  {0xFF, false, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(brevant::KeyCaption(c.key, c.upper), c.caption) << int(c.key);
}

TEST(SoftKeyboardLogic, TheDebugHookStopsOtherThreadsKeyboardHooksOnly) {
  const struct {
    int type;
    bool other_thread;
    unsigned message;
    bool suppressed;
  } cases[] = {
      {2, true, 0, true},          {13, true, 0, true},        {-1, true, 0, true},
      {2, false, 0, false},        {3, true, 0x0100, true},    {3, true, 0x0102, true},
      {3, true, 0x0200, false},    {3, false, 0x0100, false},  {4, true, 0x0100, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(brevant::SuppressesHook(c.type, c.other_thread, c.message), c.suppressed)
        << c.type << " " << c.other_thread << " " << c.message;
}

TEST(SoftKeyboardLogic, TheDialogGrowsToHoldTheKeyboard) {
  const auto narrow = brevant::PlaceKeyboard(300, 200, 2, 26, 500, 180);
  EXPECT_EQ(narrow.dialog_width, 505);
  EXPECT_EQ(narrow.dialog_height, 380);
  EXPECT_EQ(narrow.keyboard_y, 172);
  EXPECT_EQ(narrow.keyboard_width, 503) << "the client area's width";
  const auto framed = brevant::PlaceKeyboard(300, 200, 16, 26, 500, 180);
  EXPECT_EQ(framed.dialog_width, 516) << "a wide frame cuts no key off";
  EXPECT_EQ(framed.keyboard_width, 500);
  EXPECT_EQ(brevant::PlaceKeyboard(600, 200, 6, 26, 500, 180).dialog_width, 600) << "never narrower";
  EXPECT_EQ(brevant::PlaceKeyboard(300, 200, 2, 43, 500, 180).keyboard_y, 157)
      << "a frame taller than 28: the keyboard ends where the grown client area does";
}

}  // namespace
