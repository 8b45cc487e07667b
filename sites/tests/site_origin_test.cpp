#include "site_origin.h"

#include <gtest/gtest.h>

using namespace sites;

TEST(SiteOrigin, OriginsOfSiteAddresses) {
  const struct {
    const char* address;
    std::optional<std::string> origin;
  } cases[] = {
      {"https://ebank.vesbank.example", "https://ebank.vesbank.example"},
      {"https://ebank.vesbank.example/path/index.htm?x=1", "https://ebank.vesbank.example"},
      {" HTTPS://EBank.VesBank.Example/ ", "https://ebank.vesbank.example"},
      {"https://ebank.vesbank.example:443", "https://ebank.vesbank.example"},  // the default port
      {"http://ebank.vesbank.example:80/", "http://ebank.vesbank.example"},
      {"https://ebank.vesbank.example:8443/x", "https://ebank.vesbank.example:8443"},
      {"http://ebank.vesbank.example:443", "http://ebank.vesbank.example:443"},
      {"https://ebank.vesbank.example:", "https://ebank.vesbank.example"},
      {"http://127.0.0.1:8080", "http://127.0.0.1:8080"},
      {"http://[::1]:8080/", "http://[::1]:8080"},
      {"ebank.vesbank.example", std::nullopt},  // no scheme
      {"//ebank.vesbank.example", std::nullopt},
      {"https://", std::nullopt},
      {"https:///path", std::nullopt},
      {"https://user@ebank.vesbank.example", std::nullopt},
      {"https://ebank.vesbank.example:65536", std::nullopt},
      {"https://ebank.vesbank.example:0", std::nullopt},
      {"https://ebank.vesbank.example:8x", std::nullopt},
      {"https://eb ank.example", std::nullopt},
      {"https://[::1", std::nullopt},
      {"1http://a.example", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(SiteOrigin(c.address), c.origin) << c.address;
}

TEST(SiteOrigin, OnlyProgramsAndListedPagesMayChangeTheKey) {
  const TrustedOrigins trusted("https://ebank.vesbank.example/path;; ebank.other.example ;https://WWW.vesbank.example:8443;"
                               "https://ebank.vesbank.example");
  EXPECT_EQ(trusted.origins(),
            (std::vector<std::string>{"https://ebank.vesbank.example", "https://www.vesbank.example:8443"}));
  const struct {
    Peer peer;
    bool allowed;
  } cases[] = {
      {{false, ""}, true},
      {{true, "https://ebank.vesbank.example"}, true},
      {{true, "https://www.vesbank.example:8443"}, true},
      {{true, "https://www.vesbank.example"}, false},  // another port
      {{true, "http://ebank.vesbank.example"}, false},  // another scheme
      {{true, "https://ebank.vesbank.example.evil.example"}, false},
      {{true, "https://evil.example"}, false},
      {{true, "null"}, false},
      {{true, ""}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(trusted.MayChangeTheKey(c.peer), c.allowed) << c.peer.origin;
  for (const char* empty : {"", ";", "ebank.vesbank.example"}) {
    const TrustedOrigins none(empty);
    EXPECT_TRUE(none.origins().empty()) << empty;
    EXPECT_FALSE(none.MayChangeTheKey({true, "https://ebank.vesbank.example"})) << empty;
    EXPECT_TRUE(none.MayChangeTheKey({false, ""})) << empty;
  }
}

TEST(SiteOrigin, OnlyWebPagesHaveAnOrigin) {
  const std::wstring bank = L"https://ebank.vesbank.example/";
  const std::wstring longest = bank + std::wstring(kMaxPageAddressLength - bank.size(), L'a');
  const struct {
    const char* what;
    std::wstring address;
    std::optional<std::string> origin;
  } cases[] = {
      {"https page", L"HTTPS://EBank.Vesbank.example:443/login.html?x=1", "https://ebank.vesbank.example"},
      {"http page with a port", L"http://127.0.0.1:8080/key.html", "http://127.0.0.1:8080"},
      {"longest address", longest, "https://ebank.vesbank.example"},
      {"over-long address", longest + L"a", std::nullopt},
      {"about:blank", L"about:blank", std::nullopt},
      {"file page", L"file:///C:/pages/key.html", std::nullopt},
      {"file page on a share", L"file://server/pages/key.html", std::nullopt},
      {"resource page", L"res://ieframe.dll/navcancl.htm", std::nullopt},
      {"script address", L"javascript:alert(1)", std::nullopt},
      {"", L"", std::nullopt},
      // Characters a browser may drop or read otherwise never leave a host
      // that passes for the bank's.
      {"non-ASCII after the host", L"https://ebank.vesbank.example\u00e9/x", std::nullopt},
      {"non-ASCII at the end", L"https://ebank.vesbank.example\u3000", std::nullopt},
      {"NUL inside the host", std::wstring(L"https://ebank.vesbank.example\0.evil.example/", 44), std::nullopt},
      {"tab inside the host", L"https://ebank.vesbank.example\t.evil.example/", std::nullopt},
      {"backslash after the host", L"https://ebank.vesbank.example\\@evil.example/", std::nullopt},
      {"leading blank", L" https://ebank.vesbank.example/", std::nullopt},
      {"non-ASCII in the path", L"https://ebank.vesbank.example/\u767b\u5f55", "https://ebank.vesbank.example"},
  };
  for (const auto& c : cases) EXPECT_EQ(PageOrigin(c.address), c.origin) << c.what;
}
