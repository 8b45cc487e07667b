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
