// What laying out the tooltip markup needs from the device it draws on:
// text measurement, picture sizes, resolution, system colours, the code
// page's lead bytes, string resources. The Windows drawer answers with GDI;
// tests answer with fixed metrics.
#pragma once
#include <map>
#include <string>
#include <string_view>

#include "html_values.h"

namespace brevant {

struct HtmlFont {
  std::string face = "Verdana";
  int points = 10;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  bool operator==(const HtmlFont&) const = default;
};

struct HtmlSize {
  int width = 0;
  int height = 0;
  bool operator==(const HtmlSize&) const = default;
};

struct HtmlFontMetrics {
  int ascent = 0;
  int descent = 0;
  int x_height = 0;  // of the letter "x"
};

// A picture as its tag names it: the kind (bitmap, icon, image list) and
// the tag's parameters (idres, iddll, handle, file, srcdll, index, cx, cy).
struct HtmlPicture {
  int kind = 0;
  std::map<std::string, std::string> params;
  bool operator==(const HtmlPicture&) const = default;
};

class HtmlDevice {
 public:
  virtual ~HtmlDevice() = default;
  virtual int TextWidth(const HtmlFont& font, std::string_view text) = 0;
  virtual HtmlFontMetrics Metrics(const HtmlFont& font) = 0;
  // The picture's own size (an image list: one cell); 0 x 0 when it cannot
  // be loaded.
  virtual HtmlSize PictureSize(const HtmlPicture& picture) = 0;
  // The text of a `string` tag's resource; empty when there is none.
  virtual std::string ResourceString(const std::map<std::string, std::string>& params) = 0;
  virtual int Dpi() = 0;
  virtual HtmlColour SystemColour(int index) = 0;
  // True for the first byte of a double-byte character of the text's code
  // page.
  virtual bool IsLeadByte(unsigned char byte) = 0;
};

}  // namespace brevant
