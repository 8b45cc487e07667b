#include "handshake_text.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {
const char kRfcRequest[] =
    "GET /chat HTTP/1.1\r\nHost: server.example.com\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nOrigin: http://example.com\r\n"
    "Sec-WebSocket-Protocol: chat, superchat\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

TEST(Handshake, TheRfcSampleKeyAndAccept) {
  EXPECT_EQ(ExtractWebSocketKey(kRfcRequest), "dGhlIHNhbXBsZSBub25jZQ==");
  EXPECT_EQ(AcceptHashInput("dGhlIHNhbXBsZSBub25jZQ=="),
            "dGhlIHNhbXBsZSBub25jZQ==258EAFA5-E914-47DA-95CA-C5AB0DC85B11");
  // SHA-1 of that input, as the RFC gives it; its Base64 is the accept value.
  const std::uint8_t digest[20] = {0xb3, 0x7a, 0x4f, 0x2c, 0xc0, 0x62, 0x4f, 0x16, 0x90, 0xf6,
                                   0x46, 0x06, 0xcf, 0x38, 0x59, 0x45, 0xb2, 0xbe, 0xc4, 0xea};
  EXPECT_EQ(Base64(digest, 20), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
  EXPECT_EQ(HandshakeResponse("s3pPLMBiTxaQ9kYGzzhZRbK+xOo="),
            "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n");
}

TEST(Handshake, KeyReadingFollowsTheScanRules) {
  EXPECT_EQ(ExtractWebSocketKey("Sec-WebSocket-Key:abc\r\n"), "abc");
  EXPECT_EQ(ExtractWebSocketKey("Sec-WebSocket-Key: \t abc def\r\n"), "abc def");
  EXPECT_EQ(ExtractWebSocketKey("Sec-WebSocket-Key: abc"), "abc");           // no carriage return
  EXPECT_EQ(ExtractWebSocketKey("Sec-WebSocket-Key:\r\nNext: x\r\n"), "Next: x");  // white space spans lines
  EXPECT_FALSE(ExtractWebSocketKey("GET / HTTP/1.1\r\nHost: x\r\n\r\n"));
  EXPECT_FALSE(ExtractWebSocketKey("Sec-WebSocket-Key-Other: abc\r\nSec-WebSocket-Key: later\r\n"));
  EXPECT_FALSE(ExtractWebSocketKey("Sec-WebSocket-Key: \r\n"));
  EXPECT_FALSE(ExtractWebSocketKey(std::string_view("X\0Sec-WebSocket-Key: abc\r\n", 26)));
}

TEST(Handshake, KeysLongerThan219CharactersAreRefused) {
  EXPECT_TRUE(ExtractWebSocketKey("Sec-WebSocket-Key: " + std::string(219, 'k') + "\r\n"));
  EXPECT_FALSE(ExtractWebSocketKey("Sec-WebSocket-Key: " + std::string(220, 'k') + "\r\n"));
}

TEST(Handshake, Base64PaddingAndAlphabet) {
  const std::uint8_t bytes[] = {0xfb, 0xff, 0xbf, 'M', 'a'};
  EXPECT_EQ(Base64(bytes, 0), "");
  EXPECT_EQ(Base64(bytes, 1), "+w==");
  EXPECT_EQ(Base64(bytes, 3), "+/+/");
  EXPECT_EQ(Base64(bytes + 3, 2), "TWE=");
}
