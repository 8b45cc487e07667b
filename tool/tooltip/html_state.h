// The tooltip markup's drawing state and what tags and style declarations do
// to it. Portable: what the state needs from the device (resolution, system
// colours, the height of "x") comes through HtmlDevice.
#pragma once
#include <map>
#include <string>
#include <string_view>

#include "html_device.h"
#include "html_style.h"
#include "html_tokens.h"
#include "html_values.h"

namespace brevant {

enum class TextTransform { None, Uppercase, Lowercase, Capitalize };

// Border styles by their numbers.
enum BorderStyle : int { kBorderNone = 0, kBorderSolid = 1, kBorderDashed = 2, kBorderDotted = 3, kBorderDouble = 6 };

struct HtmlBorder {
  HtmlColour light = 0;
  HtmlColour dark = 0;
  int width = 0;
  int style = kBorderNone;
  bool operator==(const HtmlBorder&) const = default;
};

struct HtmlBackground {
  HtmlColour start = 0;
  HtmlColour middle = 0;
  HtmlColour end = 0;
  int effect = -1;  // transparent: nothing is filled
  bool operator==(const HtmlBackground&) const = default;
};

enum HorizontalAlign : int { kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2, kAlignJustify = 3 };
enum VerticalAlign : int { kAlignTop = 0, kAlignMiddle = 1, kAlignBottom = 2, kAlignBaseline = 3 };

struct DrawingState {
  HtmlFont font;
  bool overline = false;
  HtmlColour text_colour = 0;
  bool opaque = false;  // background mode 2; false is mode 1, transparent
  HtmlColour background_colour = MakeColour(255, 255, 255);
  int horizontal_align = kAlignLeft;
  int vertical_align = kAlignBaseline;
  TextTransform transform = TextTransform::None;
  HtmlBorder border;
  HtmlBackground background;
  int margin = 0;
  int padding = 0;
  int link_kind = 0;  // 1 an address, 2 a message for the owner
  std::string link_text;
  int link = -1;  // index of the link the text belongs to
};

// Tag kinds by their numbers; tables are handled apart.
enum TagKind : int {
  kTagUnknown = 0,
  kTagBold = 1,
  kTagItalic = 2,
  kTagUnderline = 3,
  kTagStrikeout = 4,
  kTagFont = 5,
  kTagRule = 6,
  kTagBreak = 7,
  kTagTab = 8,
  kTagLeft = 9,
  kTagCenter = 10,
  kTagRight = 11,
  kTagJustify = 12,
  kTagBaseline = 13,
  kTagTop = 14,
  kTagVCenter = 15,
  kTagBottom = 16,
  kTagBitmap = 17,
  kTagIcon = 18,
  kTagImageList = 19,
  kTagString = 20,
  kTagStyle = 21,
  kTagSpan = 22,
  kTagLink = 23,
  kTagTable = 100,
  kTagRow = 101,
  kTagCell = 102,
};
TagKind LookupTag(std::string_view name);
// Tags that hold content and whose closing tag restores the state.
bool IsContainerTag(TagKind kind);

// Applies style declarations ("font-size: 12pt; color: red") to `state`.
// `available_width` is what a percentage of a width is taken of.
void ApplyDeclarations(DrawingState& state, std::string_view declarations, HtmlDevice& device,
                       int available_width = 0);

// Applies the sheet's rule for `selector`, if it has one.
void ApplyRule(DrawingState& state, const StyleSheet& sheet, const std::string& selector, HtmlDevice& device);

// What opening a container tag does to the state (bold to link). Links are
// numbered by the caller: `link` is the new link's index, `hovered` whether
// the mouse is over it.
void OpenTag(DrawingState& state, TagKind kind, const HtmlToken& tag, const StyleSheet& sheet,
             HtmlDevice& device, int link, bool hovered);

// The saved states of the open tags: a closing tag restores the state its
// opening tag found and forgets the tags opened inside it; a closing tag
// with no opening one changes nothing.
class StateStack {
 public:
  void Push(const std::string& tag, const DrawingState& state);
  bool Pop(const std::string& tag, DrawingState& state);
  std::size_t depth() const { return saved_.size(); }

 private:
  std::vector<std::pair<std::string, DrawingState>> saved_;
};

// The colours of a colour value for this device; nothing when malformed.
std::optional<HtmlColour> ColourValue(std::string_view value, HtmlDevice& device);
// The text transformed; double-byte characters are left alone.
std::string TransformText(std::string_view text, TextTransform transform, HtmlDevice& device);

}  // namespace brevant
