// Lays the tooltip markup out into a list of things to draw, each at its
// place: runs of text, rules, pictures and the boxes of tables and cells.
// Measuring is laying out and taking the size; drawing walks the list; hit
// testing looks for the link under a point. Portable.
#pragma once
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "html_device.h"
#include "html_state.h"
#include "html_style.h"

namespace brevant {

struct HtmlRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool operator==(const HtmlRect&) const = default;
};

struct HtmlTextItem {
  HtmlRect rect;  // the run's cell: its width and the font's height
  std::string text;
  HtmlFont font;
  HtmlColour colour = 0;
  bool opaque = false;
  HtmlColour background = 0;
  bool overline = false;
  int link = -1;
};

struct HtmlRuleItem {
  HtmlRect rect;  // the line drawn: `size` pixels high
  HtmlColour colour = 0;
};

struct HtmlPictureItem {
  HtmlRect rect;  // the picture itself, without its shadow
  HtmlPicture picture;
  bool use_mask = false;
  HtmlColour mask = MakeColour(255, 0, 255);
  unsigned style = 0;      // drawing variant bits
  unsigned hot_style = 0;  // ... while the mouse is over its link
  bool shadow = false;      // drawn with a shadow ...
  bool hot_shadow = false;  // ... while the mouse is over its link
  int link = -1;
};

// A table or a cell: its background and its border, drawn behind what it
// holds.
struct HtmlBoxItem {
  HtmlRect rect;
  HtmlBorder border;
  HtmlBackground background;
  std::string background_picture;  // drawn when the effect is transparent
};

using HtmlItem = std::variant<HtmlTextItem, HtmlRuleItem, HtmlPictureItem, HtmlBoxItem>;

struct HtmlLink {
  int kind = 0;  // 1 an address or file, 2 a message for the owner
  std::string target;
};

struct HtmlLayout {
  HtmlSize size;
  std::vector<HtmlItem> items;  // in drawing order
  std::vector<HtmlLink> links;  // by index
  // The link at a point of the layout, -1 for none.
  int LinkAt(int x, int y) const;
};

struct HtmlLayoutOptions {
  // 0: no limit; lines then align within the widest of them.
  int width_limit = 0;
  // True when drawing into a rectangle of width_limit: lines align within
  // it; false when measuring: within the widest line.
  bool fill_width = false;
  int hovered_link = -1;  // the link the mouse is over
  int shadow_dx = 0;      // a picture's "s" style adds its shadow only when
  int shadow_dy = 0;      // these are set
  int tab_width = 32;
};

// `text` is the markup as the client wrote it: entities are replaced and the
// whole is wrapped in a body before it is parsed.
HtmlLayout LayoutHtml(std::string_view text, const StyleSheet& sheet, HtmlDevice& device,
                      const HtmlLayoutOptions& options);

}  // namespace brevant

namespace brevant {

// The command that opens `address` with the program registered for ".htm"
// files: the registered command cut at "\"%1\"" (else at "%1"), a blank,
// the address. Empty when nothing is registered.
std::string HtmOpenCommand(std::string_view registered, std::string_view address);

}  // namespace brevant
