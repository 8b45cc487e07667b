#include "name_list.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tk;

TEST(NameList, WritesDoubleNulListWithSizeAndCount) {
  char buffer[32];
  std::memset(buffer, '#', sizeof buffer);
  std::uint32_t size = sizeof buffer, count = 0;
  ASSERT_EQ(WriteNameList({"ab", "c"}, buffer, &size, &count), kOk);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(std::memcmp(buffer, "ab\0c\0\0", 6), 0);
  EXPECT_EQ(buffer[6], '#');
  EXPECT_EQ(ReadNameList(buffer, size), (std::vector<std::string>{"ab", "c"}));
}

TEST(NameList, ABufferOneByteShortIsRefusedUntouchedWithTheNeededSize) {
  char buffer[5];
  std::memset(buffer, '#', sizeof buffer);
  std::uint32_t size = sizeof buffer, count = 0;
  EXPECT_EQ(WriteNameList({"ab", "c"}, buffer, &size, &count), kBufferTooSmall);
  EXPECT_EQ(size, 6u);
  for (char c : buffer) EXPECT_EQ(c, '#');
}

TEST(NameList, EmptyListHasSizeZeroAndNullBufferAsksForTheSize) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  std::uint32_t size = sizeof buffer, count = 9;
  ASSERT_EQ(WriteNameList({}, buffer, &size, &count), kOk);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(buffer[0], '\0');
  size = 0;
  ASSERT_EQ(WriteNameList({"reader"}, nullptr, &size, &count), kOk);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(WriteNameList({"x"}, buffer, nullptr, &count), kInvalidParameter);
}

TEST(NameList, ReadingStopsAtTheBufferEndAndTheLimit) {
  const char unterminated[] = {'a', 'b', '\0', 'c', 'd'};
  EXPECT_EQ(ReadNameList(unterminated, sizeof unterminated), (std::vector<std::string>{"ab", "cd"}));
  const char list[] = "one\0two\0three\0";
  EXPECT_EQ(ReadNameList(list, sizeof list, 2), (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(ReadNameList(nullptr, 10).empty());
}
