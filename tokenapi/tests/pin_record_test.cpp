#include "pin_record.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace tk;

namespace {
std::uint8_t kMaskA[kPinMaskSize], kMaskB[kPinMaskSize];
struct Masks {
  Masks() {
    for (unsigned i = 0; i < kPinMaskSize; ++i) {
      kMaskA[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 7));
      kMaskB[i] = static_cast<std::uint8_t>(0x3C + i * 13);
    }
  }
} masks;
}  // namespace

TEST(PinRecord, MaskedCharactersAreNotThePinAndUnmaskBack) {
  PinTransferRecord record;
  ASSERT_TRUE(MaskPinIntoRecord("abc123", 6, kMaskA, record));
  EXPECT_EQ(record.count, 6u);
  EXPECT_NE(std::memcmp(record.data, "abc123", 6), 0);
  EXPECT_EQ(record.data[0], 'a' ^ kMaskA[0]);
  EXPECT_EQ(std::memcmp(record.mask, kMaskA, kPinMaskSize), 0);
  PinPlain plain;
  ASSERT_TRUE(UnmaskPinRecord(record, plain));
  ASSERT_EQ(plain.size(), 6u);
  EXPECT_EQ(std::memcmp(plain.data(), "abc123", 6), 0);
}

TEST(PinRecord, MaskRepeatsEvery32Characters) {
  std::string pin(40, 'x');
  pin[33] = 'y';
  PinTransferRecord record;
  ASSERT_TRUE(MaskPinIntoRecord(pin.data(), pin.size(), kMaskA, record));
  EXPECT_EQ(record.data[33], 'y' ^ kMaskA[1]);
  PinPlain plain;
  ASSERT_TRUE(UnmaskPinRecord(record, plain));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain.data()), plain.size()), pin);
}

TEST(PinRecord, CountsBeyondTheDataAreaAreRefused) {
  PinTransferRecord record;
  std::string long_pin(kPinRecordDataSize + 1, '1');
  EXPECT_FALSE(MaskPinIntoRecord(long_pin.data(), long_pin.size(), kMaskA, record));
  ASSERT_TRUE(MaskPinIntoRecord(long_pin.data(), kPinRecordDataSize, kMaskA, record));
  record.count = kPinRecordDataSize + 1;  // a caller's corrupt record
  PinPlain plain;
  EXPECT_FALSE(UnmaskPinRecord(record, plain));
  EXPECT_FALSE(PinRecordsEqual(record, record));
}

TEST(PinRecord, EqualityIgnoresTheMasks) {
  PinTransferRecord a, b, c, d;
  ASSERT_TRUE(MaskPinIntoRecord("246810", 6, kMaskA, a));
  ASSERT_TRUE(MaskPinIntoRecord("246810", 6, kMaskB, b));
  ASSERT_TRUE(MaskPinIntoRecord("246811", 6, kMaskB, c));
  ASSERT_TRUE(MaskPinIntoRecord("2468101", 7, kMaskA, d));
  EXPECT_TRUE(PinRecordsEqual(a, b));
  EXPECT_FALSE(PinRecordsEqual(a, c));
  EXPECT_FALSE(PinRecordsEqual(a, d));
}

TEST(SecretBuffer, RefusesToGrowBeyondItsCapacity) {
  SecretBuffer<8> buffer;
  EXPECT_TRUE(buffer.resize(8));
  EXPECT_FALSE(buffer.resize(9));
  EXPECT_EQ(buffer.size(), 8u);
}
