// A device with simple fixed metrics, so layouts can be worked out by hand:
// every byte is points / 2 pixels wide (a double-byte character twice that),
// a line is points + points / 4 high, pictures named by `idres` are that
// many pixels square.
#pragma once
#include <charconv>
#include <string>

#include "html_device.h"

namespace brevant::testing {

class FixedMetricsDevice : public HtmlDevice {
 public:
  int TextWidth(const HtmlFont& font, std::string_view text) override {
    return static_cast<int>(text.size()) * (font.points / 2);
  }
  HtmlFontMetrics Metrics(const HtmlFont& font) override { return {font.points, font.points / 4, font.points / 2}; }
  HtmlSize PictureSize(const HtmlPicture& picture) override {
    const auto id = picture.params.find("idres");
    int size = 0;
    if (id != picture.params.end()) std::from_chars(id->second.data(), id->second.data() + id->second.size(), size);
    return size > 0 && size < 1000 ? HtmlSize{size, size} : HtmlSize{};
  }
  std::string ResourceString(const std::map<std::string, std::string>& params) override {
    return params.count("idres") ? "res" + params.at("idres") : std::string();
  }
  int Dpi() override { return 96; }
  HtmlColour SystemColour(int index) override { return MakeColour(static_cast<std::uint8_t>(index), 1, 2); }
  bool IsLeadByte(unsigned char byte) override { return byte >= 0x81 && byte != 0xFF; }
};

}  // namespace brevant::testing
