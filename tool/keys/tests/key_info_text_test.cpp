// The key information dialog's texts from plain values.
#include "key_info_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(KeyInfoText, OperatingSystemLeavesOutEmptyValuesAndNamesTheWordSize) {
  EXPECT_EQ(brevant::OperatingSystemText("Windows 7 Professional", "6.1", "Service Pack 1", true, "bit"),
            "Windows 7 Professional 6.1 Service Pack 1 (64bit)");
  EXPECT_EQ(brevant::OperatingSystemText("Windows 10 Pro", "6.3", "", false, "bit"), "Windows 10 Pro 6.3 (32bit)");
  EXPECT_EQ(brevant::OperatingSystemText("", "", "", false, ""), " (32)");
}

TEST(KeyInfoText, BrowserVersionIsCutBeforeItsSecondDot) {
  const struct {
    const char* svc;
    const char* version;
    const char* text;
  } cases[] = {
      {"11.0.9600.1", "9.11.9600.1", "IE 11.0"}, {"", "8.0.7601.17514", "IE 8.0"}, {"11.0", "", "IE "},
      {"", "", "IE "},                           {"", "10..2", "IE 10."},
  };
  for (const auto& c : cases) EXPECT_EQ(brevant::BrowserText(c.svc, c.version), c.text) << c.svc << "|" << c.version;
}

TEST(KeyInfoText, KeyTypes) {
  EXPECT_STREQ(brevant::KeyTypeTextKey(1), "IDS_TARNEX1000_TYPE");
  EXPECT_STREQ(brevant::KeyTypeTextKey(3), "IDS_TARNEX3000_TYPE");
  EXPECT_STREQ(brevant::KeyTypeTextKey(4), "IDS_UNKNOW_TYPE");
  EXPECT_EQ(brevant::KeyTypeTextKey(0), nullptr);
  EXPECT_EQ(brevant::KeyTypeTextKey(5), nullptr);
}

}  // namespace
