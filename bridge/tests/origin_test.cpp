#include "origin.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

std::string Handshake(const std::string& headers) {
  return "GET / HTTP/1.1\r\nHost: 127.0.0.1:20407\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n" + headers +
         "Sec-WebSocket-Version: 13\r\n\r\n";
}

}  // namespace

TEST(Origin, WhoOpenedTheConnection) {
  const std::string longest = "https://" + std::string(kMaxOriginLength - 8, 'a');
  const struct {
    const char* what;
    std::string received;
    bool from_start;
    bool is_page;
    std::string origin;
  } cases[] = {
      {"no Origin header: a program", Handshake(""), true, false, ""},
      {"a page, lower-cased", Handshake("Origin: HTTPS://EBank.Vesbank.example\r\n"), true, true,
       "https://ebank.vesbank.example"},
      {"header name in any case, blanks around the value", Handshake("oRiGiN: \t http://127.0.0.1:8080 \r\n"), true,
       true, "http://127.0.0.1:8080"},
      {"the name of the drafts", Handshake("Sec-WebSocket-Origin: https://a.example\r\n"), true, true,
       "https://a.example"},
      {"sandboxed pages say null", Handshake("Origin: null\r\n"), true, true, "null"},
      {"longest origin", Handshake("Origin: " + longest + "\r\n"), true, true, longest},
      {"over-long origin", Handshake("Origin: " + longest + "a\r\n"), true, true, ""},
      {"empty origin", Handshake("Origin:\r\n"), true, true, ""},
      {"blank inside", Handshake("Origin: https://a.example x\r\n"), true, true, ""},
      {"two origins", Handshake("Origin: https://a.example\r\nOrigin: https://a.example\r\n"), true, true, ""},
      {"header block not complete", Handshake("").substr(0, Handshake("").size() - 2), true, true, ""},
      {"data received before", Handshake(""), false, true, ""},
      // Texts a page can make a browser send: a key that is no header.
      {"key in the request line", "GET /?Sec-WebSocket-Key: abc HTTP/1.1\r\nHost: x\r\n\r\n", true, true, ""},
      {"key in a header value", "POST / HTTP/1.1\r\nX-A: Sec-WebSocket-Key: abc\r\n\r\n", true, true, ""},
      {"key and origin in a body", "POST / HTTP/1.1\r\nOrigin: https://e.example\r\n\r\nSec-WebSocket-Key: a\r\n",
       true, true, "https://e.example"},
      {"nothing after a NUL is read", std::string("GET / HTTP/1.1\r\nSec-WebSocket-Key: a\r\n") + '\0' + "\r\n", true,
       true, ""},
  };
  for (const auto& c : cases) {
    const Peer peer = PeerOfHandshake(c.received, c.from_start);
    EXPECT_EQ(peer.is_page, c.is_page) << c.what;
    EXPECT_EQ(peer.origin, c.origin) << c.what;
  }
}

TEST(Origin, OriginsOfSiteAddresses) {
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

TEST(Origin, OnlyProgramsAndListedPagesMayChangeTheKey) {
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
