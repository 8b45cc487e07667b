#include "reader_names.h"

#include <gtest/gtest.h>

using namespace sim;

TEST(ReaderNames, SlotsRoundTripAndMatchWithoutRegardToCase) {
  EXPECT_EQ(ReaderName(0), "Quillon Tarnex UDISK 0");
  EXPECT_EQ(SlotFromReaderName("Quillon Tarnex UDISK 0"), 0);
  EXPECT_EQ(SlotFromReaderName("Quillon tarnex UDISK 0"), 0);
  EXPECT_EQ(SlotFromReaderName("QUILLON TARNEX udisk 12"), 12);
  EXPECT_EQ(SlotFromReaderName(ReaderName(63)), 63);
}

TEST(ReaderNames, NamesOutsideTheFamilyOrRangeAreRefused) {
  for (const char* bad : {"", "Quillon Tarnex UDISK", "Quillon Tarnex UDISK ", "Quillon Tarnex UDISK 01",
                          "Quillon Tarnex UDISK 64", "Quillon Tarnex UDISK 1x", "Quillon Tarnex UDISK  1",
                          "Quillon Tarnex UDISK-1", "Other Reader 0", "Quillon Tarnex UDISK 999"})
    EXPECT_FALSE(SlotFromReaderName(bad)) << bad;
}

TEST(ReaderNames, NotificationFilterCoversTheWholeFamily) {
  EXPECT_TRUE(ReaderMatchesFilter("Quillon Tarnex UDISK 3", "Quillon Tarnex UDISK 0"));
  EXPECT_TRUE(ReaderMatchesFilter("Quillon Tarnex UDISK 0", "quillon tarnex udisk 0"));
  EXPECT_TRUE(ReaderMatchesFilter("Quillon Tarnex UDISK 0", nullptr));
  EXPECT_TRUE(ReaderMatchesFilter("Quillon Tarnex UDISK 0", ""));
  EXPECT_FALSE(ReaderMatchesFilter("Quillon Tarnex UDISK 0", "Another Maker 0"));
}
