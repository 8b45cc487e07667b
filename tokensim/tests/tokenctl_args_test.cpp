#include "tokenctl_args.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (c == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool Parse(const std::string& line, Command& command, std::string* error = nullptr) {
  std::string message;
  const bool ok = ParseTokenctlArgs(Split(line), command, message);
  if (error) *error = message;
  return ok;
}

}  // namespace

TEST(TokenctlArgs, CreateWithEveryKeyOption) {
  Command c;
  std::string error;
  ASSERT_TRUE(Parse("--dir D:\\keys create k1 --label L --serial S1 --type 3 --user-pin 1234 --so-pin 99 "
                    "--user-retries 5 --so-retries 4 --app-kind 2 --pin-change-tag 0x1 --app-name App "
                    "--user-tries-left 1 --so-tries-left 0 --total-size 4096",
                    c, &error))
      << error;
  EXPECT_EQ(c.verb, Verb::Create);
  EXPECT_EQ(c.dir, "D:\\keys");
  EXPECT_EQ(c.name, "k1");
  EXPECT_EQ(*c.key.device_type, 3u);
  EXPECT_EQ(*c.key.user_pin, "1234");
  EXPECT_EQ(*c.key.pin_change_tag, 1u);
  EXPECT_EQ(*c.key.user_tries_left, 1u);
  EXPECT_EQ(*c.key.admin_tries_left, 0u);
  EXPECT_EQ(*c.key.application, "App");
}

TEST(TokenctlArgs, ImportCertAndFail) {
  Command c;
  ASSERT_TRUE(Parse("import-cert k1 --container c1 --spec exch --file a.der --cert-type 2", c));
  EXPECT_EQ(c.key_spec, 1u);
  EXPECT_EQ(*c.cert_type, 2u);
  ASSERT_TRUE(Parse("fail k1 TK_VerifyUserPin 0x8800003E --times 0", c));
  EXPECT_EQ(c.function, "TK_VerifyUserPin");
  EXPECT_EQ(c.result, 0x8800003Eu);
  EXPECT_EQ(c.times, 0u);
  ASSERT_TRUE(Parse("fail k1 TK_ConnectDev 5", c));
  EXPECT_EQ(c.times, 1u);  // once unless told otherwise
}

TEST(TokenctlArgs, BadArgumentsAreRefusedWithAMessage) {
  const char* bad[] = {
      "",
      "frobnicate k1",
      "create",
      "create bad/name",
      "create k1 --label",
      "create k1 --type x",
      "create k1 --type 256",
      "create k1 --user-retries 0",
      "create k1 --user-retries 16",
      "create k1 --serial 12345678901234567890123456789012",  // 32 characters
      "create k1 --user-pin",
      "create k1 --label a --label b",
      "create k1 --container c",
      "set k1 --bogus",
      "insert k1 extra",
      "import-cert k1 --container c --spec sig",
      "import-cert k1 --container c --spec both --file f",
      "fail k1 TK_Nothing 1",
      "fail k1 TK_ConnectDev 0x1FFFFFFFF",
      "fail k1 TK_ConnectDev",
      "fail k1 TK_ConnectDev 1 --times -1",
      "--dir",
  };
  for (const char* line : bad) {
    Command c;
    std::string error;
    EXPECT_FALSE(Parse(line, c, &error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

TEST(TokenctlArgs, NumbersAreWholeTextsWithin32Bits) {
  std::uint32_t v = 0;
  EXPECT_TRUE(ParseNumber("0xE002001A", v));
  EXPECT_EQ(v, 0xE002001Au);
  EXPECT_TRUE(ParseNumber("4294967295", v));
  EXPECT_FALSE(ParseNumber("4294967296", v));
  EXPECT_FALSE(ParseNumber("12abc", v));
  EXPECT_FALSE(ParseNumber("0x", v));
  EXPECT_FALSE(ParseNumber("-1", v));
}
