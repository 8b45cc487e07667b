#include "key_model.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {

KeyState SampleKey() {
  KeyState key;
  key.name = "demo";
  key.label = "网银盾";
  key.serial = "SN-0001";
  key.inserted = true;
  key.slot = 3;
  key.insertion = 7;
  key.user_pin = {"00FF", "ABCD", 8, 5};
  key.admin_pin = {"11", "22", 6, 6};
  Container c;
  c.name = "c1";
  c.cert_type = tk::kCertTypeSm2;
  c.exchange_cert = {0x30, 0x82, 0x00};
  key.containers.push_back(c);
  key.faults.push_back({"TK_ConnectDev", 0x88000008, 0});
  return key;
}

}  // namespace

TEST(KeyModel, JsonKeepsEveryField) {
  const KeyState key = SampleKey();
  KeyState back;
  std::string error;
  ASSERT_TRUE(FromJson(ToJson(key), back, &error)) << error;
  EXPECT_EQ(back.name, key.name);
  EXPECT_EQ(back.label, key.label);
  EXPECT_EQ(back.serial, key.serial);
  EXPECT_EQ(back.slot, 3);
  EXPECT_EQ(back.insertion, 7u);
  EXPECT_EQ(back.user_pin.retries_left, 5u);
  EXPECT_EQ(back.user_pin.hash_hex, "ABCD");
  ASSERT_EQ(back.containers.size(), 1u);
  EXPECT_EQ(back.containers[0].exchange_cert, key.containers[0].exchange_cert);
  EXPECT_TRUE(back.containers[0].signature_cert.empty());
  EXPECT_EQ(back.containers[0].cert_type, tk::kCertTypeSm2);
  ASSERT_EQ(back.faults.size(), 1u);
  EXPECT_EQ(back.faults[0].result, 0x88000008u);
  EXPECT_EQ(back.faults[0].times, 0u);
}

TEST(KeyModel, DamagedFilesAreRefusedWithoutTouchingTheKey) {
  const std::string good = ToJson(SampleKey());
  auto damaged = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  };
  const std::string cases[] = {
      "",
      "[]",
      good.substr(0, good.size() / 2),
      damaged("\"retriesLeft\":\t5", "\"retriesLeft\":\t9"),  // above the limit
      damaged("\"slot\":\t3", "\"slot\":\t64"),
      damaged("\"slot\":\t3", "\"slot\":\t-1"),               // inserted without a reader
      damaged("\"exchangeCert\":\t\"308200\"", "\"exchangeCert\":\t\"3G\""),
      damaged("\"serial\":\t\"SN-0001\"", "\"serial\":\t\"12345678901234567890123456789012\""),
      damaged("\"deviceType\":\t2", "\"deviceType\":\t\"2\""),
      damaged("\"insertion\":\t7", "\"insertion\":\t1.5"),
  };
  for (const std::string& text : cases) {
    KeyState key;
    key.name = "untouched";
    std::string error;
    EXPECT_FALSE(FromJson(text, key, &error)) << text;
    EXPECT_EQ(key.name, "untouched");
  }
}

TEST(KeyModel, FaultsFireTheGivenNumberOfTimesOrAlways) {
  KeyState key;
  SetFault(key, "TK_ReadCert", 0x1234, 2);
  SetFault(key, "TK_ConnectDev", 0x99, 0);
  EXPECT_FALSE(TakeFault(key, "TK_ReadLabel"));
  EXPECT_EQ(TakeFault(key, "TK_ReadCert"), 0x1234u);
  EXPECT_EQ(TakeFault(key, "TK_ReadCert"), 0x1234u);
  EXPECT_FALSE(TakeFault(key, "TK_ReadCert"));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(TakeFault(key, "TK_ConnectDev"), 0x99u);
  SetFault(key, "TK_ConnectDev", 0, 1);  // result 0 clears
  EXPECT_FALSE(TakeFault(key, "TK_ConnectDev"));
  EXPECT_TRUE(key.faults.empty());
}

TEST(KeyModel, PinAttemptsCountDownLockAndRestore) {
  PinState pin{"", "", 3, 3};
  int compared = 0;
  auto wrong = [&] { ++compared; return false; };
  auto right = [&] { ++compared; return true; };
  EXPECT_EQ(ApplyPinAttempt(pin, wrong), tk::kWrongPin);
  EXPECT_EQ(pin.retries_left, 2u);
  EXPECT_EQ(ApplyPinAttempt(pin, right), tk::kOk);
  EXPECT_EQ(pin.retries_left, 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ApplyPinAttempt(pin, wrong), tk::kWrongPin);
  EXPECT_EQ(pin.retries_left, 0u);
  compared = 0;
  // Locked: even the right PIN is refused, and never compared.
  EXPECT_EQ(ApplyPinAttempt(pin, right), tk::kPinLocked);
  EXPECT_EQ(compared, 0);
  EXPECT_EQ(pin.retries_left, 0u);
}

TEST(KeyModel, ContainerFlagsAndFreeSize) {
  KeyState key;
  key.total_size = 1000;
  Container both;
  both.name = "both";
  both.signature_cert.assign(100, 1);
  both.exchange_cert.assign(100, 2);
  key.containers.push_back(both);
  EXPECT_EQ(ContainerFlags(key.containers[0]), tk::kContainerHasSignatureCert | tk::kContainerHasExchangeCert);
  EXPECT_EQ(FreeSize(key), 1000u - 456u);
  key.containers[0].signature_cert.assign(2000, 0);
  EXPECT_EQ(FreeSize(key), 0u);  // never wraps round
  EXPECT_EQ(CertificateOf(key.containers[0], 3), nullptr);
}

TEST(KeyModel, KeyNamesAreSafeFileNames) {
  EXPECT_TRUE(IsValidKeyName("Demo_key-1.a"));
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:x", "with space", "名字"})
    EXPECT_FALSE(IsValidKeyName(bad)) << bad;
  EXPECT_FALSE(IsValidKeyName(std::string(65, 'a')));
}
