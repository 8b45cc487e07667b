#include "site_url.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brevant {
namespace {

struct SplitCase {
  std::string address;
  int result;
  const char* scheme;
  const char* host;
  const char* domain;
};

TEST(SplitSiteUrl, TakesAddressesApart) {
  const std::string long_label(kSitePartMax, 'a');
  const std::string too_long_label(kSitePartMax + 1, 'a');
  const SplitCase cases[] = {
      {"https://www.vesbank.example/login/index.html", 1, "https", "www", "vesbank.example"},
      {"http://ebank.vesbank-test.example", 1, "http", "ebank", "vesbank-test.example"},
      {"https://vesbank.example/", 1, "https", "vesbank", "example"},
      {"https://a.b.c.d:8443/x", 1, "https", "a", "b.c.d:8443"},
      {"https://" + long_label + "." + long_label, 1, "https", long_label.c_str(), long_label.c_str()},
      {"https://www." + too_long_label, 0, "", "", ""},
      {"https://" + too_long_label + ".example", 0, "", "", ""},
      {too_long_label + "http://www.example", 0, "", "", ""},
      {"https://localhost/path.html", 1, "https", "localhost/path", "html"},
      {"https://localhost", 0, "", "", ""},
      {"www.vesbank.example", 0, "", "", ""},
      {"https:www.vesbank.example", 0, "", "", ""},    // no "//"
      {"https//www.vesbank.example", 0, "", "", ""},   // no ":"
      {"ftp://www.vesbank.example", 0, "", "", ""},    // no "http"
      {"http//x.y:", 0, "", "", ""},                   // nothing after the ":"
      {"", 0, "", "", ""},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.address);
    std::string scheme = "", host = "", domain = "";
    EXPECT_EQ(SplitSiteUrl(c.address, scheme, host, domain), c.result);
    EXPECT_EQ(scheme, c.scheme);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(domain, c.domain);
  }
}

TEST(SplitSiteUrl, FailureLeavesOutputsAlone) {
  std::string scheme = "s", host = "h", domain = "d";
  EXPECT_EQ(SplitSiteUrl("https://localhost", scheme, host, domain), 0);
  EXPECT_EQ(scheme + host + domain, "shd");
}

TEST(SplitSiteList, SplitsAtSemicolonsSkippingEmptyItems) {
  using List = std::vector<std::string>;
  EXPECT_EQ(SplitSiteList(""), List{});
  EXPECT_EQ(SplitSiteList(";;"), List{});
  EXPECT_EQ(SplitSiteList("https://a.b"), List{"https://a.b"});
  EXPECT_EQ(SplitSiteList("https://a.b;http://c.d/e;"), (List{"https://a.b", "http://c.d/e"}));
  EXPECT_EQ(SplitSiteList(";x;;y"), (List{"x", "y"}));
}

}  // namespace
}  // namespace brevant
