#include "trusted_zone.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "browser_standins.h"
#include "module_path.h"
#include "scoped_handle.h"

namespace brevant {
namespace {

const std::string kDomains = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";
const std::string kZone2 = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\2";
const char* const kTestDomains[] = {"vesbank-test.example", "vesbank-test2.example"};
const char* const kZoneValues[] = {"1001", "1200", "1405", "1A04"};

// Values of a current-user key as they were, put back (or removed) at the end.
class SavedValues {
 public:
  SavedValues(const std::string& path, const std::vector<std::string>& names) {
    for (const std::string& name : names)
      saved_.push_back(std::make_unique<testing::SavedRegistryValue>(HKEY_CURRENT_USER, path, name));
  }

 private:
  std::vector<std::unique_ptr<testing::SavedRegistryValue>> saved_;
};

class TrustedSitesTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteTestDomains(); }
  void TearDown() override { DeleteTestDomains(); }

  static void DeleteTestDomains() {
    for (const char* domain : kTestDomains) RegDeleteTreeA(HKEY_CURRENT_USER, (kDomains + "\\" + domain).c_str());
  }
  static void SetRaw(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
    fw::ScopedRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }
  static void SetDword(const std::string& path, const char* name, DWORD value) {
    SetRaw(path, name, REG_DWORD, &value, sizeof value);
  }
  // The DWORD, or -1 when the value is missing or of another type.
  static long long Dword(const std::string& path, const char* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    fw::ScopedRegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return -1;
    if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
      return -1;
    }
    return value;
  }
  static bool Listed(const std::string& url) {
    const std::vector<std::string> urls = ListTrustedUrls();
    return std::find(urls.begin(), urls.end(), url) != urls.end();
  }
};

const std::string kTestHost = kDomains + "\\vesbank-test.example\\ebank";

TEST_F(TrustedSitesTest, EachAddressGetsItsHostMappedToTheTrustedZone) {
  EXPECT_EQ(SetupTrustedSites("https://ebank.vesbank-test.example/login/index.html;http://www.vesbank-test2.example;"),
            1);
  EXPECT_EQ(Dword(kTestHost, "https"), 2);
  EXPECT_EQ(Dword(kDomains + "\\vesbank-test2.example\\www", "http"), 2);
  EXPECT_EQ(IsSiteEntryPresent("https", "ebank", "vesbank-test.example"), 1);
  EXPECT_EQ(IsSiteEntryPresent("http", "ebank", "vesbank-test.example"), 0);
  EXPECT_TRUE(Listed("https://ebank.vesbank-test.example"));
  EXPECT_TRUE(Listed("http://www.vesbank-test2.example"));
}

TEST_F(TrustedSitesTest, ExistingMappingsKeepTheirData) {
  SetDword(kTestHost, "https", 4);
  // A value of another kind is someone's mapping too.
  SetRaw(kDomains + "\\vesbank-test.example\\www", "https", REG_SZ, "mine", 5);
  EXPECT_EQ(SetupTrustedSites("https://ebank.vesbank-test.example;https://www.vesbank-test.example"), 1);
  EXPECT_EQ(Dword(kTestHost, "https"), 4);
  char text[16] = {};
  DWORD size = sizeof text;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, (kDomains + "\\vesbank-test.example\\www").c_str(), "https",
                         RRF_RT_REG_SZ, nullptr, text, &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, "mine");
  EXPECT_EQ(AddSiteEntry("https", "ebank", "vesbank-test.example"), 1);
  EXPECT_EQ(Dword(kTestHost, "https"), 4);
}

TEST_F(TrustedSitesTest, ListLeavesOutDisabledAndNonWebMappings) {
  SetDword(kTestHost, "https", 0);
  SetDword(kTestHost, "ftp", 2);
  SetDword(kTestHost, "http", 1);
  EXPECT_FALSE(Listed("https://ebank.vesbank-test.example"));
  EXPECT_FALSE(Listed("ftp://ebank.vesbank-test.example"));
  EXPECT_TRUE(Listed("http://ebank.vesbank-test.example"));
}

TEST_F(TrustedSitesTest, AddressThatCannotBeSplitStopsTheWalk) {
  EXPECT_EQ(SetupTrustedSites("https://first.vesbank-test.example;vesbank-test.example/x;"
                              "https://third.vesbank-test.example"),
            0);
  EXPECT_EQ(Dword(kDomains + "\\vesbank-test.example\\first", "https"), 2);
  EXPECT_EQ(Dword(kDomains + "\\vesbank-test.example\\third", "https"), -1);
}

TEST_F(TrustedSitesTest, ZonePolicyAllowsTheControlAndAlwaysAsksForTheCertificate) {
  const SavedValues saved(kZone2, {std::begin(kZoneValues), std::end(kZoneValues)});
  for (const char* name : kZoneValues) SetDword(kZone2, name, 7);
  EXPECT_EQ(SetTrustedZonePolicy(), 1);
  EXPECT_EQ(Dword(kZone2, "1001"), 0);
  EXPECT_EQ(Dword(kZone2, "1200"), 0);
  EXPECT_EQ(Dword(kZone2, "1405"), 0);
  EXPECT_EQ(Dword(kZone2, "1A04"), 3);
}

TEST_F(TrustedSitesTest, InstallRunTakesTheListFromTheSettingsBesideTheProgram) {
  const std::string settings = fw::FileBesideModule(nullptr, "RVControl.ini");
  ASSERT_FALSE(settings.empty());
  if (GetFileAttributesA(settings.c_str()) != INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "a settings file already lies beside the test program";
  }
  // Longer than any fixed buffer: cut after 1023 characters, the last
  // address would be "https://las".
  const std::string first = "https://ebank.vesbank-test.example/", last = "https://lastsite.vesbank-test2.example";
  {
    std::ofstream file(settings, std::ios::binary);
    file << "[TOOL]\r\nIDS_IESET_TRUST=" << first << std::string(1023 - first.size() - 1 - 11, 'p') << ";" << last
         << "\r\n";
  }
  const SavedValues saved(kZone2, {std::begin(kZoneValues), std::end(kZoneValues)});
  SetDword(kZone2, "1A04", 7);
  ApplyTrustedSiteSettings();
  DeleteFileA(settings.c_str());
  EXPECT_EQ(Dword(kTestHost, "https"), 2);
  EXPECT_EQ(Dword(kDomains + "\\vesbank-test2.example\\lastsite", "https"), 2);
  EXPECT_EQ(Dword(kZone2, "1A04"), 3);
}

}  // namespace
}  // namespace brevant
