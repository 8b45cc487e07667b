#include "frame_codec.h"

#include <gtest/gtest.h>

#include <vector>

using namespace corvane;

namespace {

std::optional<std::string> Decode(const std::vector<std::uint8_t>& bytes) { return DecodeFrame(bytes.data(), bytes.size()); }

// A masked client frame of `payload`, with the given length form.
std::vector<std::uint8_t> ClientFrame(const std::string& payload, int form, std::uint8_t first = 0x81) {
  const std::uint8_t mask[4] = {0x37, 0xFA, 0x21, 0x3D};
  std::vector<std::uint8_t> frame{first};
  const std::size_t n = payload.size();
  if (form == 7) {
    frame.push_back(static_cast<std::uint8_t>(0x80 | n));
  } else if (form == 16) {
    frame.insert(frame.end(), {0xFE, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  } else {
    frame.push_back(0xFF);
    for (int shift = 56; shift >= 0; shift -= 8) frame.push_back(static_cast<std::uint8_t>(std::uint64_t{n} >> shift));
  }
  frame.insert(frame.end(), mask, mask + 4);
  for (std::size_t i = 0; i < n; ++i) frame.push_back(static_cast<std::uint8_t>(payload[i]) ^ mask[i % 4]);
  return frame;
}

}  // namespace

TEST(FrameCodec, TheMaskedHelloOfTheWebSocketRfc) {
  EXPECT_EQ(Decode({0x81, 0x85, 0x37, 0xFA, 0x21, 0x3D, 0x7F, 0x9F, 0x4D, 0x51, 0x58}), "Hello");
}

TEST(FrameCodec, AllThreeLengthFormsDecode) {
  const std::string text(300, 'x');
  EXPECT_EQ(Decode(ClientFrame("{\"FunName\":\"GetUsbkeyState\"}", 7)), "{\"FunName\":\"GetUsbkeyState\"}");
  EXPECT_EQ(Decode(ClientFrame(text, 16)), text);
  EXPECT_EQ(Decode(ClientFrame(text, 64)), text);
  EXPECT_EQ(Decode(ClientFrame("", 7)), "");
  // The opcode is not looked at: a final binary frame decodes too.
  EXPECT_EQ(Decode(ClientFrame("ab", 7, 0x82)), "ab");
}

TEST(FrameCodec, RefusedFrames) {
  EXPECT_FALSE(Decode(ClientFrame("Hello", 7, 0x01)));  // not final
  std::vector<std::uint8_t> unmasked = {0x81, 0x05, 'H', 'e', 'l', 'l', 'o'};
  EXPECT_FALSE(Decode(unmasked));
  // Declared longer than what arrived, in each length form.
  for (int form : {7, 16, 64}) {
    std::vector<std::uint8_t> frame = ClientFrame(std::string(form == 7 ? 100 : 200, 'y'), form);
    frame.pop_back();
    EXPECT_FALSE(Decode(frame)) << form;
  }
  std::vector<std::uint8_t> huge = ClientFrame("abc", 64);
  huge[2] = 0x01;  // 2^56 + 3 bytes declared
  EXPECT_FALSE(Decode(huge));
  EXPECT_FALSE(Decode({0x81}));
  EXPECT_FALSE(Decode({0x81, 0xFE, 0x00}));
  EXPECT_FALSE(Decode({0x81, 0x80, 0x01, 0x02}));  // mask cut short
  EXPECT_FALSE(DecodeFrame(nullptr, 10));
}

TEST(FrameCodec, RepliesUseTheShortestFormUpTo65534Bytes) {
  EXPECT_EQ(*EncodeTextFrame(""), std::string("\x81\x00", 2));
  const std::optional<std::string> short_form = EncodeTextFrame(std::string(125, 'a'));
  ASSERT_TRUE(short_form);
  EXPECT_EQ(short_form->size(), 127u);
  EXPECT_EQ(static_cast<std::uint8_t>((*short_form)[1]), 125);
  const std::optional<std::string> long_form = EncodeTextFrame(std::string(126, 'a'));
  ASSERT_TRUE(long_form);
  EXPECT_EQ(long_form->substr(0, 4), std::string("\x81\x7E\x00\x7E", 4));
  EXPECT_EQ(long_form->size(), 130u);
  EXPECT_TRUE(EncodeTextFrame(std::string(65534, 'a')));
  EXPECT_FALSE(EncodeTextFrame(std::string(65535, 'a')));
}
