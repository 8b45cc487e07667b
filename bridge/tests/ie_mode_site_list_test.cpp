#include "ie_mode_site_list.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

std::string Joined(const std::vector<std::string>& sites) {
  std::string out;
  for (const std::string& site : sites) out += site + " ";
  return out;
}

}  // namespace

TEST(IeModeSiteList, PagesAsTheSiteListNamesThem) {
  const struct {
    const char* what;
    std::string pages;
    std::string sites;
  } cases[] = {
      {"a page", "https://ebank.vesbank.example/key.html", "ebank.vesbank.example/key.html "},
      {"host lowered, path kept, blanks trimmed", " \tHTTPS://EBank.Vesbank.example/Key/Page.html ; ",
       "ebank.vesbank.example/Key/Page.html "},
      {"a port of its own stays, the default goes",
       "https://ebank.vesbank.example:8443/key;http://www.vesbank.example:80/key;https://a.example:443",
       "ebank.vesbank.example:8443/key www.vesbank.example/key a.example "},
      {"the site's root is the site", "https://ebank.vesbank.example/", "ebank.vesbank.example "},
      {"query and fragment dropped", "https://a.example/key.html?x=1#top;https://b.example?x=1",
       "a.example/key.html b.example "},
      {"an IPv6 literal", "https://[::1]:8443/key", "[::1]:8443/key "},
      {"repeats go: another spelling, another scheme",
       "https://ebank.vesbank.example;HTTPS://EBANK.vesbank.example/;http://ebank.vesbank.example",
       "ebank.vesbank.example "},
      {"paths differ in case", "https://a.example/Key;https://a.example/key", "a.example/Key a.example/key "},
      {"empty entries", ";;  ;", ""},
      {"other schemes", "ftp://a.example/;file:///C:/key.html;wss://a.example;javascript:alert(1)", ""},
      {"no scheme, no host, credentials", "ebank.vesbank.example/key.html;https:///key.html;https://u:p@a.example/",
       ""},
      {"outside printable ASCII", "https://a.example/密钥.html;https://a.example/a b.html;https://a.exam\x7Fple", ""},
      {"a bad entry leaves the others", "https://a.example:99999/;https://b.example/k;gopher://c", "b.example/k "},
  };
  for (const auto& c : cases) EXPECT_EQ(Joined(IeModeSites(c.pages)), c.sites) << c.what;
}

TEST(IeModeSiteList, EnterpriseModeXml) {
  EXPECT_EQ(IeModeSiteListXml({"ebank.vesbank.example/key.html", "a.example/k&<\"'>"}, 28333333),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<site-list version=\"28333333\">\r\n"
            "  <created-by>\r\n    <tool>Brevant</tool>\r\n  </created-by>\r\n"
            "  <site url=\"ebank.vesbank.example/key.html\">\r\n"
            "    <compat-mode>Default</compat-mode>\r\n    <open-in>IE11</open-in>\r\n  </site>\r\n"
            "  <site url=\"a.example/k&amp;&lt;&quot;&apos;&gt;\">\r\n"
            "    <compat-mode>Default</compat-mode>\r\n    <open-in>IE11</open-in>\r\n  </site>\r\n"
            "</site-list>\r\n");
}

TEST(IeModeSiteList, VersionsOnlyGrow) {
  constexpr std::uint32_t kLargest = 2147483647;
  const std::int64_t now = 1'700'000'000;  // 28333333 minutes
  const struct {
    std::uint32_t recorded;
    std::int64_t seconds;
    std::uint32_t version;
  } cases[] = {
      {0, 0, 1},    {0, now, 28333333},        {28333333, now, 28333334}, {40000000, now, 40000001},
      {0, -120, 1}, {kLargest, now, kLargest}, {0, INT64_MAX, kLargest},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NextSiteListVersion(c.recorded, c.seconds), c.version) << c.recorded << " at " << c.seconds;
}

TEST(IeModeSiteList, FileUrlOfAWindowsPath) {
  const struct {
    std::string path, url;
  } cases[] = {
      {"C:\\Program Files\\Quillon\\Brevant\\IEModeSites.xml",
       "file:///C:/Program%20Files/Quillon/Brevant/IEModeSites.xml"},
      {"D:\\银行\\x.xml", "file:///D:/%E9%93%B6%E8%A1%8C/x.xml"},
      {"C:\\a#b%c(1);d\\x:y.xml", "file:///C:/a%23b%25c%281%29%3Bd/x%3Ay.xml"},
      {"\\\\server\\share\\x y.xml", "file://server/share/x%20y.xml"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileUrl(c.path), c.url) << c.path;
}
