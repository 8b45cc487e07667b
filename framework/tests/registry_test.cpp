#include "registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace brevant {
namespace {

// A scratch key of its own under HKEY_CURRENT_USER, gone afterwards.
class RegistryTest : public ::testing::Test {
 protected:
  const std::string parent_ = "Software\\BrevantTest";
  const std::string path_ = parent_ + "\\Registry" + std::to_string(GetCurrentProcessId());

  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              scratch_.put(), nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    scratch_.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, parent_.c_str());  // only when no other test still uses it
  }
  void SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(scratch_.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  static bool HandleIsOpen(HKEY key) {
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
  }

  fw::ScopedRegKey scratch_;
};

TEST_F(RegistryTest, DwordRoundTripRecordsTypeAndSize) {
  CRegistry reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path_, true));
  EXPECT_EQ(reg.Path(), path_);
  EXPECT_EQ(reg.LastResult(), ERROR_SUCCESS);
  EXPECT_EQ(reg.LastType(), 0u);
  EXPECT_EQ(reg.LastSize(), 0u);

  ASSERT_TRUE(reg.WriteDword("answer", 42));
  EXPECT_EQ(reg.LastType(), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(reg.LastSize(), 4u);

  DWORD value = 0;
  ASSERT_TRUE(reg.ReadDword("answer", value));
  EXPECT_EQ(value, 42u);
  EXPECT_EQ(reg.LastType(), static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(reg.LastSize(), 4u);

  // The type is not checked: a string read reports what is stored.
  SetRaw("text", REG_SZ, "hello", 6);
  std::string text;
  ASSERT_TRUE(reg.ReadString("text", text));
  EXPECT_EQ(text, "hello");
  EXPECT_EQ(reg.LastType(), static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(reg.LastSize(), 6u);

  // Enumerating resets what a read left.
  std::string name;
  ASSERT_TRUE(reg.EnumValue(0, name));
  EXPECT_EQ(reg.LastType(), 0u);
  EXPECT_EQ(reg.LastSize(), 0u);
}

TEST_F(RegistryTest, FailedReadsLeaveOutputAlone) {
  SetRaw("big", REG_BINARY, std::string(CRegistry::kTextAreaSize + 1, 'x').data(), CRegistry::kTextAreaSize + 1);
  SetRaw("wide", REG_BINARY, "12345678", 8);
  CRegistry reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path_, false));

  std::string text = "unchanged";
  EXPECT_FALSE(reg.ReadString("missing", text));
  EXPECT_EQ(reg.LastResult(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(text, "unchanged");
  EXPECT_FALSE(reg.ReadString("big", text));
  EXPECT_EQ(reg.LastResult(), ERROR_MORE_DATA);
  EXPECT_EQ(text, "unchanged");

  DWORD value = 7;
  EXPECT_FALSE(reg.ReadDword("missing", value));
  EXPECT_EQ(reg.LastResult(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(reg.ReadDword("wide", value));
  EXPECT_EQ(reg.LastResult(), ERROR_MORE_DATA);
  EXPECT_EQ(value, 7u);
}

TEST_F(RegistryTest, StringStopsAtFirstZeroOrStoredSize) {
  SetRaw("embedded", REG_BINARY, "ab\0cd", 5);
  SetRaw("unterminated", REG_BINARY, "xyz", 3);
  const std::string full(CRegistry::kTextAreaSize, 'q');
  SetRaw("full", REG_BINARY, full.data(), CRegistry::kTextAreaSize);
  CRegistry reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path_, false));
  std::string text;
  ASSERT_TRUE(reg.ReadString("embedded", text));
  EXPECT_EQ(text, "ab");
  ASSERT_TRUE(reg.ReadString("unterminated", text));
  EXPECT_EQ(text, "xyz");
  ASSERT_TRUE(reg.ReadString("full", text));
  EXPECT_EQ(text, full);
}

TEST_F(RegistryTest, EnumeratesUntilNoMoreItems) {
  for (const char* sub : {"alpha", "beta"}) {
    fw::ScopedRegKey key;
    ASSERT_EQ(RegCreateKeyExA(scratch_.get(), sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
  }
  SetRaw("one", REG_DWORD, "\1\0\0\0", 4);
  CRegistry reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path_, false));

  std::set<std::string> keys;
  std::string name;
  for (DWORD i = 0; reg.EnumKey(i, name); ++i) keys.insert(name);
  EXPECT_EQ(keys, (std::set<std::string>{"alpha", "beta"}));
  EXPECT_EQ(reg.LastResult(), ERROR_NO_MORE_ITEMS);
  name = "stale";
  EXPECT_FALSE(reg.EnumKey(2, name));
  EXPECT_EQ(name, "");

  ASSERT_TRUE(reg.EnumValue(0, name));
  EXPECT_EQ(name, "one");
  EXPECT_FALSE(reg.EnumValue(1, name));
  EXPECT_EQ(name, "");
  EXPECT_EQ(reg.LastResult(), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, ReadAccessRefusesWrites) {
  CRegistry reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path_, false));
  EXPECT_FALSE(reg.WriteDword("x", 1));
  EXPECT_EQ(reg.LastResult(), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, OpenKeyIsRelativeToTheBorrowedRootAndLeavesItOpen) {
  fw::ScopedRegKey child;
  ASSERT_EQ(RegCreateKeyExA(scratch_.get(), "child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, child.put(), nullptr),
            ERROR_SUCCESS);
  {
    CRegistry reg(scratch_.get());
    EXPECT_FALSE(reg.OpenKey("absent"));
    EXPECT_EQ(reg.LastResult(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.Key(), scratch_.get());
    ASSERT_TRUE(reg.OpenKey("child"));
    EXPECT_NE(reg.Key(), scratch_.get());
  }
  EXPECT_TRUE(HandleIsOpen(scratch_.get()));
  CRegistry root_only(scratch_.get());
  root_only.Close();
  EXPECT_EQ(root_only.Key(), nullptr);
  EXPECT_TRUE(HandleIsOpen(scratch_.get()));
}

TEST_F(RegistryTest, NewKeyReplacesTheOneItOpenedOnlyOnSuccess) {
  CRegistry reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path_, true));
  const HKEY first = reg.Key();
  EXPECT_FALSE(reg.Open(HKEY_CURRENT_USER, path_ + "\\absent", true));
  EXPECT_EQ(reg.Key(), first);
  EXPECT_TRUE(HandleIsOpen(first));

  ASSERT_TRUE(reg.CreateKey(path_ + "\\made"));
  EXPECT_FALSE(HandleIsOpen(first));
  const HKEY made = reg.Key();
  ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path_, false));
  EXPECT_FALSE(HandleIsOpen(made));

  const HKEY last = reg.Key();
  reg.Close();
  EXPECT_EQ(reg.Key(), nullptr);
  EXPECT_FALSE(HandleIsOpen(last));
  reg.Close();
  EXPECT_EQ(reg.Key(), nullptr);
}

TEST_F(RegistryTest, CreateKeyAlwaysWorksUnderTheCurrentUser) {
  CRegistry reg(scratch_.get());
  ASSERT_TRUE(reg.CreateKey(path_ + "\\made"));
  ASSERT_TRUE(reg.WriteDword("v", 5));
  fw::ScopedRegKey check;
  ASSERT_EQ(RegOpenKeyExA(scratch_.get(), "made", 0, KEY_READ, check.put()), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(scratch_.get(), (path_ + "\\made").c_str(), 0, KEY_READ, check.put()),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, OpenOrCreateKeepsWhatExists) {
  CRegistry reg(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenOrCreateKey(path_ + "\\fresh\\deeper"));
  EXPECT_EQ(reg.LastResult(), ERROR_SUCCESS);
  ASSERT_TRUE(reg.WriteDword("kept", 9));

  CRegistry again(HKEY_CURRENT_USER);
  ASSERT_TRUE(again.OpenOrCreateKey(path_ + "\\fresh\\deeper"));
  DWORD value = 0;
  ASSERT_TRUE(again.ReadDword("kept", value));
  EXPECT_EQ(value, 9u);
}

}  // namespace
}  // namespace brevant
