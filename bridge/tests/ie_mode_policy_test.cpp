#include "ie_mode_policy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "policy_test_registry.h"
#include "sim_fixture.h"
#include "text.h"

namespace {

using policytest::DeleteValue;
using policytest::Open;
using policytest::SetValue;
using policytest::Value;

constexpr wchar_t kEdge[] = L"SOFTWARE\\Policies\\Microsoft\\Edge";
constexpr wchar_t kBrevant[] = L"SOFTWARE\\Quillon\\Brevant";
constexpr wchar_t kRecord[] = L"SOFTWARE\\Quillon\\Brevant\\IEModePolicy";
constexpr wchar_t kLevel[] = L"InternetExplorerIntegrationLevel";
constexpr wchar_t kSiteList[] = L"InternetExplorerIntegrationSiteList";
constexpr wchar_t kOrganisationsList[] = L"sz:https://intranet.example.org/sites.xml";

// The site list's version, 0 without one.
unsigned long Version(const std::string& xml) {
  const std::size_t at = xml.find("<site-list version=\"");
  return at == std::string::npos ? 0 : std::stoul(xml.substr(at + 20));
}

class IeModePolicy : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every test of the machine shares this registry: a pair set here
    // already is not this test's to change.
    ASSERT_EQ(Value(kEdge, kLevel) + Value(kEdge, kSiteList), L"") << "Edge's IE mode policy is set on this machine";
    ASSERT_FALSE(Open(kRecord, KEY_READ)) << "an earlier IE-mode record is left on this machine";
    missing_ = policytest::MissingKeys({kEdge, kBrevant});
    clean_start_ = true;
  }
  void TearDown() override {
    if (!clean_start_) return;  // what was there is not ours to clean
    corvane::RevokeIeModeSiteList(folder());
    DeleteValue(kEdge, kLevel);
    DeleteValue(kEdge, kSiteList);
    DeleteValue(kBrevant, L"Control32");
    policytest::DeleteKeys(missing_);
  }

  std::wstring folder() const { return fw::AnsiToWide(folder_.path()); }
  void WritePages(const std::string& pages) {
    ASSERT_TRUE(
        simtest::WriteFileBytes(folder_.File("RVControl.ini"), "[TOOL]\r\nIDS_IEMODE_PAGES=" + pages + "\r\n"));
  }
  // The list's file, "" when there is none.
  std::string SiteListXml() const {
    std::string xml;
    simtest::ReadFileBytes(folder_.File("IEModeSites.xml"), xml);
    return xml;
  }

  // A blank in the folder's name, as in "Program Files".
  simtest::TempFolder folder_{"ie mode"};
  std::vector<std::wstring> missing_;
  bool clean_start_ = false;
};

TEST_F(IeModePolicy, AddListsTheBanksPagesAndRemoveTakesEverythingBack) {
  // The installer's own value beside the record, which must outlive it.
  SetValue(kBrevant, L"Control32", L"sz:registered");
  WritePages(" https://EBank.Vesbank.example/key.html;ftp://x.example/;https://www.vesbank.example:8443/ ");
  ASSERT_EQ(corvane::ApplyIeModeSiteList(folder()), 0);
  EXPECT_EQ(Value(kEdge, kLevel), L"dword:1");
  const std::wstring site_list = Value(kEdge, kSiteList);
  EXPECT_TRUE(site_list.starts_with(L"sz:file:///") && site_list.ends_with(L"/IEModeSites.xml")) << site_list;
  EXPECT_NE(site_list.find(L"/ie%20mode-"), std::wstring::npos) << site_list;
  EXPECT_EQ(site_list.find_first_of(L"\\ "), std::wstring::npos) << site_list;
  std::string xml = SiteListXml();
  EXPECT_TRUE(xml.starts_with("<?xml")) << xml;
  EXPECT_NE(xml.find("<site url=\"ebank.vesbank.example/key.html\">"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<site url=\"www.vesbank.example:8443\">"), std::string::npos) << xml;
  EXPECT_EQ(xml.find("x.example"), std::string::npos) << xml;

  // Installed again with other pages: still ours, under a higher version.
  const unsigned long first_version = Version(xml);
  WritePages("https://ebank.vesbank.example/sign.html");
  ASSERT_EQ(corvane::ApplyIeModeSiteList(folder()), 0);
  xml = SiteListXml();
  EXPECT_GT(Version(xml), first_version);
  EXPECT_NE(xml.find("ebank.vesbank.example/sign.html"), std::string::npos) << xml;
  EXPECT_EQ(xml.find("key.html"), std::string::npos) << xml;
  EXPECT_EQ(Value(kEdge, kSiteList), site_list);

  ASSERT_EQ(corvane::RevokeIeModeSiteList(folder()), 0);
  EXPECT_EQ(Value(kEdge, kLevel) + Value(kEdge, kSiteList), L"");
  EXPECT_EQ(SiteListXml(), "");
  EXPECT_FALSE(Open(kRecord, KEY_READ));
  EXPECT_EQ(Value(kBrevant, L"Control32"), L"sz:registered");
  for (const std::wstring& key : missing_)
    EXPECT_FALSE(key.starts_with(L"SOFTWARE\\Policies\\") && Open(key, KEY_READ)) << fw::WideToUtf8(key) << " is left";
}

TEST_F(IeModePolicy, WithoutPagesAnEarlierListIsTakenBack) {
  for (const std::string pages : {"", "ftp://x.example/; ebank.vesbank.example/key.html"}) {
    WritePages("https://ebank.vesbank.example/key.html");
    ASSERT_EQ(corvane::ApplyIeModeSiteList(folder()), 0);
    WritePages(pages);
    EXPECT_EQ(corvane::ApplyIeModeSiteList(folder()), 0) << pages;
    EXPECT_EQ(Value(kEdge, kLevel) + Value(kEdge, kSiteList), L"") << pages;
    EXPECT_EQ(SiteListXml(), "") << pages;
    EXPECT_FALSE(Open(kRecord, KEY_READ)) << pages;
  }
}

TEST_F(IeModePolicy, AnOrganisationsPolicyIsNeverTouched) {
  const struct {
    const wchar_t* level;
    const wchar_t* site_list;
  } cases[] = {{L"dword:1", L""}, {L"", kOrganisationsList}, {L"dword:1", kOrganisationsList}};
  WritePages("https://ebank.vesbank.example/key.html");
  for (const auto& c : cases) {
    if (*c.level) SetValue(kEdge, kLevel, c.level);
    if (*c.site_list) SetValue(kEdge, kSiteList, c.site_list);
    const std::wstring set = std::wstring(c.level) + c.site_list;
    EXPECT_EQ(corvane::ApplyIeModeSiteList(folder()), 0) << set;
    EXPECT_EQ(corvane::RevokeIeModeSiteList(folder()), 0) << set;
    EXPECT_EQ(Value(kEdge, kLevel) + Value(kEdge, kSiteList), set);
    EXPECT_EQ(SiteListXml(), "") << set;
    EXPECT_FALSE(Open(kRecord, KEY_READ)) << set;
    DeleteValue(kEdge, kLevel);
    DeleteValue(kEdge, kSiteList);
  }
}

TEST_F(IeModePolicy, APairTheOrganisationTookOverStaysWhole) {
  WritePages("https://ebank.vesbank.example/key.html");
  ASSERT_EQ(corvane::ApplyIeModeSiteList(folder()), 0);
  SetValue(kEdge, kSiteList, kOrganisationsList);
  EXPECT_EQ(corvane::ApplyIeModeSiteList(folder()), 0);
  ASSERT_EQ(corvane::RevokeIeModeSiteList(folder()), 0);
  // Our level stays under the organisation's list: taking it out would
  // switch the organisation's IE mode off.
  EXPECT_EQ(Value(kEdge, kLevel) + Value(kEdge, kSiteList), std::wstring(L"dword:1") + kOrganisationsList);
  EXPECT_FALSE(Open(kRecord, KEY_READ));
  EXPECT_EQ(SiteListXml(), "");
}

}  // namespace
