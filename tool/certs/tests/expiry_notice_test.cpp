// The insertion notice for the validity cases, and the calendar it counts on.
#include "expiry_notice.h"

#include <gtest/gtest.h>

namespace {

using brevant::KeyDateTime;

KeyDateTime At(int year, int month, int day, int hour = 12, int minute = 0) {
  KeyDateTime t;
  t.year = static_cast<std::uint16_t>(year);
  t.month = static_cast<std::uint16_t>(month);
  t.day = static_cast<std::uint16_t>(day);
  t.hour = static_cast<std::uint16_t>(hour);
  t.minute = static_cast<std::uint16_t>(minute);
  return t;
}

const brevant::ExpiryTexts kTexts = {"INSERTED", "NOT_YET", "EXPIRED", "TODAY", "IN ", " DAYS", "VALID"};

TEST(ExpiryNotice, TellsTheValidityCaseWithTheDatesLine) {
  struct Case {
    const char* what;
    bool has_cert;
    KeyDateTime from, to, now;
    const char* notice;
  };
  const Case cases[] = {
      {"no certificate", false, At(2026, 1, 1), At(2026, 1, 2), At(2026, 6, 1), "INSERTED"},
      {"valid from tomorrow", true, At(2026, 6, 2), At(2028, 6, 2), At(2026, 6, 1),
       "INSERTED\nNOT_YET\nVALID:2026-6-2 2028-6-2"},
      {"expired", true, At(2024, 1, 1), At(2026, 5, 30), At(2026, 6, 1), "INSERTED\n\nEXPIRED"},
      {"expired an hour ago", true, At(2024, 1, 1), At(2026, 6, 1, 11), At(2026, 6, 1), "INSERTED\n\nEXPIRED"},
      {"expires later today", true, At(2024, 1, 1), At(2026, 6, 1, 23, 30), At(2026, 6, 1),
       "INSERTED\nTODAY\nVALID:2024-1-1 2026-6-1"},
      {"5 days across the end of a common year", true, At(2024, 1, 1), At(2027, 1, 5),
       At(2026, 12, 31), "INSERTED\nIN 5 DAYS\nVALID:2024-1-1 2027-1-5"},
      {"across the end of a leap year", true, At(2024, 1, 1), At(2029, 1, 2), At(2028, 12, 30),
       "INSERTED\nIN 3 DAYS\nVALID:2024-1-1 2029-1-2"},
      {"over 29 February", true, At(2024, 1, 1), At(2028, 3, 1), At(2028, 2, 28),
       "INSERTED\nIN 2 DAYS\nVALID:2024-1-1 2028-3-1"},
      {"30 days ahead", true, At(2024, 1, 1), At(2026, 7, 1), At(2026, 6, 1),
       "INSERTED\nIN 30 DAYS\nVALID:2024-1-1 2026-7-1"},
      {"31 days ahead", true, At(2024, 1, 1), At(2026, 7, 2), At(2026, 6, 1), "INSERTED"},
      {"a year and 5 days ahead", true, At(2024, 1, 1), At(2028, 1, 5), At(2026, 12, 31), "INSERTED"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(brevant::InsertionNotice(kTexts, c.has_cert, c.from, c.to, c.now), c.notice) << c.what;
}

TEST(ExpiryNotice, LongTextsAreCutToTheBuffer) {
  brevant::ExpiryTexts texts = kTexts;
  texts.before_effect = std::string(400, 'x');
  EXPECT_EQ(brevant::InsertionNotice(texts, true, At(2026, 6, 2), At(2027, 1, 1), At(2026, 6, 1)).size(), 259u);
}

TEST(ExpiryNotice, CalendarDaysFollowTheGregorianLeapRule) {
  EXPECT_EQ(brevant::DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(brevant::DaysFromCivil(2000, 3, 1) - brevant::DaysFromCivil(2000, 2, 28), 2) << "2000 is a leap year";
  EXPECT_EQ(brevant::DaysFromCivil(2100, 3, 1) - brevant::DaysFromCivil(2100, 2, 28), 1) << "2100 is not";
  EXPECT_EQ(brevant::DaysFromCivil(2027, 1, 1) - brevant::DaysFromCivil(2026, 1, 1), 365);
  EXPECT_EQ(brevant::SecondsBetween(At(2026, 12, 31, 23, 59), At(2027, 1, 1, 0, 1)), 120);
}

TEST(ExpiryNotice, TheNoticeUsesTheFirstSlotWithDates) {
  brevant::KeyRecord record;
  EXPECT_EQ(brevant::NoticeSlot(record), 0u);
  record.containers[3] = "c3";
  record.containers[5] = "c5";
  record.valid_to[5] = At(2027, 1, 1);
  EXPECT_EQ(brevant::NoticeSlot(record), 5u);
}

}  // namespace
