// --loopback-policy against the registry of the machine the tests run on
// (the test prefix's, under Wine).
#include "browser_policy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "policy_test_registry.h"

namespace {

using policytest::Open;
using policytest::Value;

constexpr wchar_t kChrome[] = L"SOFTWARE\\Policies\\Google\\Chrome";
constexpr wchar_t kEdge[] = L"SOFTWARE\\Policies\\Microsoft\\Edge";
constexpr wchar_t kPolicy[] = L"LoopbackNetworkAllowedForUrls";
constexpr wchar_t kRecord[] = L"SOFTWARE\\Quillon\\Brevant\\LoopbackPolicy";
constexpr wchar_t kOrganisationsValue[] = L"sz:[\"https://intranet.example.org\"]";
constexpr wchar_t kBankEntry[] = L"sz:https://ebank.vesbank.example";

std::wstring List(const wchar_t* browser) { return std::wstring(browser) + L"\\" + kPolicy; }

class LoopbackPolicy : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* browser : {kChrome, kEdge}) {
      ASSERT_FALSE(Open(List(browser), KEY_READ)) << "a loopback list is set on this machine";
      ASSERT_EQ(Value(browser, kPolicy), L"") << "a loopback policy value is set on this machine";
    }
    ASSERT_FALSE(Open(kRecord, KEY_READ)) << "an earlier loopback record is left on this machine";
    missing_ = policytest::MissingKeys({kChrome, kEdge, kRecord});
    clean_start_ = true;
  }
  void TearDown() override {
    if (!clean_start_) return;  // what was there is not ours to clean
    corvane::RevokeSitesInBrowsers();
    policytest::DeleteValue(kChrome, kPolicy);
    policytest::DeleteKeys(missing_);
  }

  const std::vector<std::string> bank_sites_{"https://ebank.vesbank.example"};
  std::vector<std::wstring> missing_;
  bool clean_start_ = false;
};

// The policy as one JSON string of the browser's policy key: a list key
// beside it would replace it.
TEST_F(LoopbackPolicy, AnOrganisationsSingleValueIsNeverShadowed) {
  ASSERT_EQ(corvane::AllowSitesInBrowsers(bank_sites_), 0);
  ASSERT_EQ(Value(List(kChrome), L"1"), kBankEntry);
  policytest::SetValue(kChrome, kPolicy, kOrganisationsValue);

  EXPECT_EQ(corvane::AllowSitesInBrowsers(bank_sites_), 3);
  EXPECT_EQ(Value(kChrome, kPolicy), kOrganisationsValue);
  EXPECT_FALSE(Open(List(kChrome), KEY_READ)) << "the list an earlier run made goes";
  EXPECT_EQ(Value(List(kEdge), L"1"), kBankEntry);

  EXPECT_EQ(corvane::RevokeSitesInBrowsers(), 0);
  EXPECT_FALSE(Open(List(kEdge), KEY_READ));
  EXPECT_EQ(Value(kChrome, kPolicy), kOrganisationsValue);
}

}  // namespace
