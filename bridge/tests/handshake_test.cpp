#include "handshake.h"

#include <gtest/gtest.h>

using corvane::AcceptValue;

TEST(HandshakeAccept, TheRfcSampleIsAnsweredWithTheRfcValue) {
  const char request[] =
      "GET /chat HTTP/1.1\r\nHost: server.example.com\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
  EXPECT_EQ(AcceptValue(request), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(HandshakeAccept, NoKeyNoAcceptValue) {
  EXPECT_FALSE(AcceptValue("GET / HTTP/1.1\r\nHost: localhost\r\n\r\n"));
  EXPECT_FALSE(AcceptValue("Sec-WebSocket-Key: " + std::string(220, 'k') + "\r\n"));
}
