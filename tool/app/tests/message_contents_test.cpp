// The main window's reading of data messages and of the idle timer message.
#include "message_contents.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DataMessage, NumberFirstThenTheTextCutToItsLimits) {
  struct Case {
    std::string data;
    int number;
    std::string text;
  };
  const std::string long_text(300, 'x');
  for (const Case& c : {Case{"00049321Quillon Tarnex UDISK 0", 49321, "Quillon Tarnex UDISK 0"},
                        Case{"123", 123, ""}, Case{"abcdefghreader", 0, "reader"},
                        Case{"00000007" + long_text, 7, long_text.substr(0, 63)},
                        Case{std::string("00000001ab\0cd", 13), 1, "ab"}}) {
    const brevant::DataMessage message = brevant::ParseDataMessage(c.data.data(), c.data.size());
    EXPECT_EQ(message.number, c.number) << c.data;
    EXPECT_EQ(message.text, c.text) << c.data;
  }
  // Read no further than the message's size, and no further than 127.
  const std::string unterminated(500, '9');
  EXPECT_EQ(brevant::ParseDataMessage(unterminated.data(), unterminated.size()).text.size(), 63u);
  EXPECT_EQ(brevant::ParseDataMessage("00000042text", 10).text, "te");
  EXPECT_EQ(brevant::ParseDataMessage(nullptr, 10).number, 0);
}

TEST(IdleTimer, MinutesWhenArmedNothingOtherwise) {
  EXPECT_EQ(brevant::IdleTimerPeriodMs(0, 5), std::optional<std::uint32_t>(300000));
  EXPECT_EQ(brevant::IdleTimerPeriodMs(1, 5), std::nullopt);
  EXPECT_EQ(brevant::IdleTimerPeriodMs(0, -3), std::optional<std::uint32_t>(0));
  EXPECT_LE(*brevant::IdleTimerPeriodMs(0, 1000000), 0xFFFFFFFFu) << "no overflow";
  EXPECT_GE(*brevant::IdleTimerPeriodMs(0, 1000000), 71000u * 60000u);
}

}  // namespace
