// PIN verification (plain and masked), retry counters and lock-out, change,
// unblock by the administrator, and formatting to the factory state.
#include <cstring>

#include "pin_record.h"
#include "token_test_base.h"

namespace {

tk::PinTransferRecord Masked(const char* pin, std::uint8_t seed) {
  std::uint8_t mask[tk::kPinMaskSize];
  for (unsigned i = 0; i < tk::kPinMaskSize; ++i) mask[i] = static_cast<std::uint8_t>(seed + i * 31);
  tk::PinTransferRecord record;
  EXPECT_TRUE(tk::MaskPinIntoRecord(pin, std::strlen(pin), mask, record));
  return record;
}

}  // namespace

class Pins : public TokenTest {
 protected:
  void SetUp() override {
    TokenTest::SetUp();
    CreateInserted("k", "--user-pin 111111 --so-pin 888888 --user-retries 3 --so-retries 2");
  }
  ULONG Verify(TK_HANDLE handle, const char* pin, ULONG* left) { return api_.TK_VerifyUserPin(handle, pin, left); }
};

TEST_F(Pins, PlainVerificationCountsDownLocksAndRestores) {
  OpenKey key(api_);
  ASSERT_EQ(key.opened, tk::kOk);
  ULONG left = 99;
  EXPECT_EQ(Verify(key.app.get(), "222222", &left), tk::kWrongPin);
  EXPECT_EQ(left, 2u);
  EXPECT_EQ(Verify(key.app.get(), "111111", &left), tk::kOk);
  EXPECT_EQ(left, 3u);
  ULONG count = 0;
  EXPECT_EQ(api_.TK_PIN_GetPinRetryNum(key.app.get(), tk::kPinKindUser, &count), tk::kOk);
  EXPECT_EQ(count, 3u);

  for (ULONG expected : {2u, 1u, 0u}) {
    EXPECT_EQ(Verify(key.app.get(), "000000", &left), tk::kWrongPin);
    EXPECT_EQ(left, expected);
  }
  EXPECT_EQ(Verify(key.app.get(), "111111", &left), tk::kPinLocked);  // locked, right PIN or not
  EXPECT_EQ(api_.TK_GetUserPinRetryNum(key.device.get(), &count), tk::kOk);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(Verify(key.app.get(), nullptr, &left), tk::kInvalidParameter);
}

TEST_F(Pins, APrefixOrExtensionOfThePinIsWrong) {
  OpenKey key(api_);
  ULONG left = 0;
  EXPECT_EQ(Verify(key.device.get(), "11111", &left), tk::kWrongPin);
  EXPECT_EQ(Verify(key.device.get(), "1111111", &left), tk::kWrongPin);
  EXPECT_EQ(Verify(key.device.get(), "111111", &left), tk::kOk);
  EXPECT_EQ(Verify(key.device.get(), std::string(600, '1').c_str(), &left), tk::kWrongPin);
  EXPECT_EQ(Verify(key.device.get(), "111111", &left), tk::kOk);
}

TEST_F(Pins, MaskedRecordsAreUnmaskedForVerification) {
  OpenKey key(api_);
  BYTE left = 0;
  tk::PinTransferRecord right = Masked("111111", 0x5A), wrong = Masked("111112", 0x5A);
  EXPECT_EQ(api_.TK_VerifyUserPinSec(key.device.get(), &wrong, &left), tk::kWrongPin);
  EXPECT_EQ(left, 2);
  EXPECT_EQ(api_.TK_VerifyUserPinSec(key.device.get(), &right, &left), tk::kOk);
  EXPECT_EQ(left, 3);
  // Unmasked, the record would not verify: the mask really is applied.
  tk::PinTransferRecord plain{};
  plain.count = 6;
  std::memcpy(plain.data, "111111", 6);
  plain.mask[0] = 1;
  EXPECT_EQ(api_.TK_VerifyUserPinSec(key.device.get(), &plain, &left), tk::kWrongPin);
  tk::PinTransferRecord corrupt = right;
  corrupt.count = 513;
  EXPECT_EQ(api_.TK_VerifyUserPinSec(key.device.get(), &corrupt, &left), tk::kInvalidParameter);
  EXPECT_EQ(api_.TK_VerifyUserPinSec(key.device.get(), nullptr, &left), tk::kInvalidParameter);
}

TEST_F(Pins, ChangeNeedsTheOldPinAndSetsThePinChangeTag) {
  OpenKey key(api_);
  BYTE left = 0;
  tk::PinTransferRecord old_pin = Masked("111111", 1), new_pin = Masked("Abc12345", 2),
                        wrong_old = Masked("999999", 3);
  EXPECT_EQ(api_.TK_ChangeUserPinSec(key.device.get(), &wrong_old, &new_pin, &left), tk::kWrongPin);
  EXPECT_EQ(left, 2);
  tk::PinTransferRecord empty_new = Masked("", 4);
  EXPECT_EQ(api_.TK_ChangeUserPinSec(key.device.get(), &old_pin, &empty_new, &left), tk::kInvalidParameter);

  ASSERT_EQ(api_.TK_ChangeUserPinSec(key.device.get(), &old_pin, &new_pin, &left), tk::kOk);
  EXPECT_EQ(left, 3);
  ULONG tag = 0, retries = 0;
  EXPECT_EQ(api_.TK_GetPinChangeTag(key.device.get(), &tag), tk::kOk);
  EXPECT_EQ(tag, 1u);
  EXPECT_EQ(Verify(key.app.get(), "111111", &retries), tk::kWrongPin);
  EXPECT_EQ(Verify(key.app.get(), "Abc12345", &retries), tk::kOk);
}

TEST_F(Pins, AdministratorUnblockResetsTheUserPinAndItsCounter) {
  Ctl("set k --user-tries-left 0");
  OpenKey key(api_);
  ULONG admin_left = 0, left = 0;
  EXPECT_EQ(api_.TK_PIN_ChangeUserPINbyAdmin(key.app.get(), "000000", "246810", &admin_left), tk::kWrongPin);
  EXPECT_EQ(admin_left, 1u);
  EXPECT_EQ(Verify(key.app.get(), "111111", &left), tk::kPinLocked);  // still locked
  EXPECT_EQ(api_.TK_PIN_ChangeUserPINbyAdmin(key.app.get(), "888888", nullptr, &admin_left), tk::kInvalidParameter);
  ASSERT_EQ(api_.TK_PIN_ChangeUserPINbyAdmin(key.app.get(), "888888", "246810", &admin_left), tk::kOk);
  EXPECT_EQ(admin_left, 2u);
  EXPECT_EQ(Verify(key.app.get(), "246810", &left), tk::kOk);
  EXPECT_EQ(left, 3u);

  // The administrator PIN locks the same way.
  for (int i = 0; i < 2; ++i)
    api_.TK_PIN_ChangeUserPINbyAdmin(key.app.get(), "000000", "135790", &admin_left);
  EXPECT_EQ(api_.TK_PIN_ChangeUserPINbyAdmin(key.app.get(), "888888", "135790", &admin_left), tk::kPinLocked);
  ULONG count = 9;
  EXPECT_EQ(api_.TK_PIN_GetPinRetryNum(key.app.get(), tk::kPinKindAdmin, &count), tk::kOk);
  EXPECT_EQ(count, 0u);
}

TEST_F(Pins, FormatReturnsTheKeyToItsFactoryState) {
  Ctl("import-cert k --container c --spec sig --file " + simtest::CertFile("ku-sig"));
  Ctl("set k --pin-change-tag 1 --user-tries-left 1 --label Old");
  OpenKey key(api_);
  ASSERT_EQ(api_.TK_FormatHWSec(key.app.get(), "CFCA+Tarnex1111", 8, "739264", 6, "Tarnex", 0, 0), tk::kOk);

  char label[64] = {};
  ULONG length = sizeof label, value = 0, left = 0;
  EXPECT_EQ(api_.TK_ReadLabel(key.device.get(), label, &length), tk::kOk);
  EXPECT_STREQ(label, "CFCA+Tarnex1111");
  char names[512];
  ULONG size = sizeof names;
  EXPECT_EQ(api_.TK_EnumContainer(key.app.get(), names, &size, &value), tk::kOk);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(api_.TK_GetHWApp(key.device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(api_.TK_GetPinChangeTag(key.device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(api_.TK_GetUserPinRetryNum(key.device.get(), &value), tk::kOk);
  EXPECT_EQ(value, 8u);
  EXPECT_EQ(api_.TK_PIN_GetPinRetryNum(key.app.get(), tk::kPinKindAdmin, &value), tk::kOk);
  EXPECT_EQ(value, 6u);
  EXPECT_EQ(Verify(key.app.get(), "111111", &left), tk::kWrongPin);
  EXPECT_EQ(Verify(key.app.get(), "12345678", &left), tk::kOk);  // the factory user PIN
  EXPECT_EQ(api_.TK_PIN_ChangeUserPINbyAdmin(key.app.get(), "739264", "13572468", &left), tk::kOk);

  EXPECT_EQ(api_.TK_FormatHWSec(key.app.get(), "", 8, "739264", 6, "Tarnex", 0, 0), tk::kInvalidParameter);
  EXPECT_EQ(api_.TK_FormatHWSec(key.app.get(), "L", 16, "739264", 6, "Tarnex", 0, 0), tk::kInvalidParameter);
  EXPECT_EQ(api_.TK_FormatHWSec(key.app.get(), "L", 8, nullptr, 6, "Tarnex", 0, 0), tk::kInvalidParameter);
}
