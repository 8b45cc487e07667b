#include "html_layout.h"

#include <algorithm>
#include <cstring>

#include "html_layouter.h"

namespace brevant {
namespace {

// Tags opened deeper than this are ignored: their state would cost memory
// and no tooltip text nests so deep.
constexpr std::size_t kMaxOpenTags = 256;
constexpr int kRuleLinePadding = 8;
constexpr char kBreakAfter[] = "-.,!:;)}]?";

bool IsBreakCharacter(char c) { return c != '\0' && std::strchr(kBreakAfter, c) != nullptr; }

HtmlRect RectOf(const HtmlItem& item) {
  return std::visit([](const auto& concrete) { return concrete.rect; }, item);
}

int LinkOf(const HtmlItem& item) {
  if (const auto* text = std::get_if<HtmlTextItem>(&item)) return text->link;
  if (const auto* picture = std::get_if<HtmlPictureItem>(&item)) return picture->link;
  return -1;
}

// Drawing variant bits and the shadow from a picture's `style` letters.
unsigned PictureStyleBits(const std::string& letters, bool& shadow) {
  unsigned bits = 0;
  for (const char letter : letters) {
    if (letter == 'g') bits |= 1;
    else if (letter == 'd') bits |= 2;
    else if (letter == 'l') bits |= 4;
    else if (letter == 's') shadow = true;
  }
  return bits;
}

}  // namespace

void OffsetItem(HtmlItem& item, int dx, int dy) {
  std::visit(
      [dx, dy](auto& concrete) {
        concrete.rect.left += dx;
        concrete.rect.right += dx;
        concrete.rect.top += dy;
        concrete.rect.bottom += dy;
      },
      item);
}

int HtmlLayout::LinkAt(int x, int y) const {
  for (auto item = items.rbegin(); item != items.rend(); ++item) {
    const int link = LinkOf(*item);
    if (link >= 0 && RectOf(*item).Contains(x, y)) return link;
  }
  return -1;
}

// Up to the end of the last piece that is not blank: blanks a line ends in
// are not measured.
int Layouter::Line::Width() const {
  for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece)
    if (!piece->only_blanks) return piece->x + piece->trim_width;
  return 0;
}

Layouter::Layouter(LayoutContext& context, const DrawingState& state, int width_limit, int table_depth)
    : context_(context), state_(state), width_limit_(std::max(width_limit, 0)), table_depth_(table_depth) {
  line_.align = state_.horizontal_align;
}

HtmlBlock Layouter::Lay(std::size_t begin, std::size_t end, bool fill) {
  for (std::size_t i = begin; i < end; ++i) Token(i, end);
  if (!line_.pieces.empty()) EndLine(true);
  return Place(fill);
}

void Layouter::Token(std::size_t& index, std::size_t end) {
  const HtmlToken& token = context_.tokens[index];
  if (token.kind == HtmlToken::Kind::Text) {
    AddText(TransformText(token.text, state_.transform, context_.device));
    return;
  }
  if (!token.closing && token.text == "table") {
    const std::size_t close = FindClosingTag(context_.tokens, index, end);
    AddTable(index, close);
    index = close;
    return;
  }
  Tag(token, index);
}

void Layouter::Tag(const HtmlToken& tag, std::size_t index) {
  const TagKind kind = LookupTag(tag.text);
  if (tag.closing) {
    if (IsContainerTag(kind)) saved_.Pop(tag.text, state_);
    return;
  }
  switch (kind) {
    case kTagBreak:
      for (int i = 0; i < tag.count; ++i) EndLine(true);
      return;
    case kTagTab: AddTab(tag.count); return;
    case kTagRule: AddRule(tag); return;
    case kTagBitmap:
    case kTagIcon:
    case kTagImageList: AddPicture(kind, tag); return;
    case kTagString: AddText(TransformText(context_.device.ResourceString(tag.params), state_.transform, context_.device)); return;
    default: break;
  }
  if (!IsContainerTag(kind) || saved_.depth() >= kMaxOpenTags) return;
  saved_.Push(tag.text, state_);
  const int link = context_.link_of_token[index];
  OpenTag(state_, kind, tag, context_.sheet, context_.device, link, link >= 0 && link == context_.options.hovered_link);
  if (line_.pieces.empty()) line_.align = state_.horizontal_align;
}

// Words end after a blank or a break character; a double-byte character is
// a word of its own, so text without blanks in such a script still wraps.
void Layouter::AddText(const std::string& text) {
  HtmlDevice& device = context_.device;
  const HtmlFontMetrics metrics = device.Metrics(state_.font);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size()) {
      const unsigned char c = static_cast<unsigned char>(text[end]);
      if (device.IsLeadByte(c) && end + 1 < text.size()) {
        if (end > start) break;
        end += 2;
        break;
      }
      ++end;
      if (c == ' ' || IsBreakCharacter(static_cast<char>(c))) {
        while (end < text.size() && text[end] == ' ') ++end;
        break;
      }
    }
    const std::string word = text.substr(start, end - start);
    start = end;
    const std::size_t last = word.find_last_not_of(' ');
    Piece piece;
    piece.width = device.TextWidth(state_.font, word);
    piece.trim_width = last == std::string::npos ? 0 : (last + 1 == word.size() ? piece.width : device.TextWidth(state_.font, word.substr(0, last + 1)));
    piece.blank_end = last + 1 != word.size();
    piece.only_blanks = last == std::string::npos;
    piece.ascent = metrics.ascent;
    piece.descent = metrics.descent;
    piece.vertical_align = state_.vertical_align;
    HtmlTextItem item;
    item.rect = {0, 0, piece.width, metrics.ascent + metrics.descent};
    item.text = word;
    item.font = state_.font;
    item.colour = state_.text_colour;
    item.opaque = state_.opaque;
    item.background = state_.background_colour;
    item.overline = state_.overline;
    item.link = state_.link;
    piece.items.push_back(std::move(item));
    AddPiece(std::move(piece));
  }
}

void Layouter::AddPiece(Piece piece) {
  if (width_limit_ > 0 && !line_.pieces.empty() && pen_ + piece.trim_width > width_limit_) EndLine(false);
  if (line_.pieces.empty() && piece.only_blanks && !lines_.empty() && !lines_.back().forced) return;
  if (line_.pieces.empty()) line_.align = state_.horizontal_align;
  piece.x = pen_;
  pen_ += piece.width;
  line_.pieces.push_back(std::move(piece));
}

int Layouter::LineHeightNow() {
  const HtmlFontMetrics metrics = context_.device.Metrics(state_.font);
  return metrics.ascent + metrics.descent;
}

void Layouter::EndLine(bool forced) {
  if (line_.pieces.empty()) line_.min_height = std::max(line_.min_height, LineHeightNow());
  line_.forced = forced;
  lines_.push_back(std::move(line_));
  line_ = Line();
  line_.align = state_.horizontal_align;
  pen_ = 0;
}

void Layouter::AddTab(int count) {
  const int tab = std::max(context_.options.tab_width, 1);
  Piece piece;
  const int stop = (pen_ / tab + count) * tab;
  piece.width = piece.trim_width = stop - pen_;
  piece.only_blanks = true;
  if (line_.pieces.empty()) line_.align = state_.horizontal_align;
  piece.x = pen_;
  pen_ = stop;
  line_.pieces.push_back(std::move(piece));
}

void Layouter::AddRule(const HtmlToken& tag) {
  if (!line_.pieces.empty()) EndLine(false);
  LengthContext lengths;
  lengths.dpi = context_.device.Dpi();
  lengths.font_size = state_.font.points;
  const int size = std::clamp(ParseLength(ParamOf(tag, "size"), lengths).value_or(1), 0, 1000);
  HtmlRuleItem rule;
  rule.colour = ColourValue(ParamOf(tag, "color"), context_.device).value_or(state_.text_colour);
  const int line_height = size + kRuleLinePadding;
  rule.rect = {0, (line_height - size) / 2, 0, (line_height - size) / 2 + size};
  Piece piece;
  piece.vertical_align = kAlignTop;
  piece.ascent = line_height;
  const std::string width = ParamOf(tag, "width");
  if (width.empty()) {
    piece.rule_percent = 100;
  } else if (width.back() == '%') {
    lengths.percent_base = 100;
    piece.rule_percent = std::clamp(ParseLength(width, lengths).value_or(100), 0, 100);
  } else {
    piece.width = piece.trim_width = std::max(ParseLength(width, lengths).value_or(0), 0);
    rule.rect.right = piece.width;
  }
  piece.items.push_back(rule);
  line_.align = state_.horizontal_align;
  line_.pieces.push_back(std::move(piece));
  EndLine(false);
}

void Layouter::AddPicture(TagKind kind, const HtmlToken& tag) {
  HtmlPictureItem item;
  item.picture.kind = kind;
  item.picture.params = tag.params;
  const HtmlSize native = context_.device.PictureSize(item.picture);
  if (native.width <= 0 || native.height <= 0) return;  // what cannot be loaded takes no space
  LengthContext lengths;
  lengths.dpi = context_.device.Dpi();
  lengths.font_size = state_.font.points;
  lengths.percent_base = native.width;
  const int width = std::clamp(ParseLength(ParamOf(tag, "width"), lengths).value_or(native.width), 0, 10000);
  lengths.percent_base = native.height;
  const int height = std::clamp(ParseLength(ParamOf(tag, "height"), lengths).value_or(native.height), 0, 10000);
  if (tag.params.count("mask") != 0) {
    item.use_mask = true;
    item.mask = ColourValue(ParamOf(tag, "mask"), context_.device).value_or(item.mask);
  }
  bool shadow = false;
  item.style = PictureStyleBits(ParamOf(tag, "style"), shadow);
  bool hot_shadow = false;
  item.hot_style = PictureStyleBits(ParamOf(tag, "hotstyle"), hot_shadow);
  const HtmlLayoutOptions& options = context_.options;
  const bool shadows = options.shadow_dx != 0 || options.shadow_dy != 0;
  item.shadow = shadow && shadows;
  item.hot_shadow = hot_shadow && shadows;
  item.link = state_.link;
  item.rect = {0, 0, width, height};
  Piece piece;
  // Room for a shadow it may get, so that hovering does not move the line.
  const bool room = item.shadow || item.hot_shadow;
  piece.width = piece.trim_width = width + (room ? std::max(options.shadow_dx, 0) : 0);
  const int full_height = height + (room ? std::max(options.shadow_dy, 0) : 0);
  piece.vertical_align = state_.vertical_align;
  piece.ascent = full_height;
  piece.items.push_back(std::move(item));
  AddPiece(std::move(piece));
}

HtmlBlock Layouter::Place(bool fill) {
  int natural = 0;
  for (const Line& line : lines_) natural = std::max(natural, line.Width());
  const int box = fill && width_limit_ > 0 ? std::max(width_limit_, natural) : natural;
  HtmlBlock block;
  block.size.width = box;
  int top = 0;
  for (Line& line : lines_) {
    int ascent = 0, descent = 0, height = line.min_height;
    for (Piece& piece : line.pieces) {
      if (piece.rule_percent >= 0) {
        piece.width = piece.trim_width = box * piece.rule_percent / 100;
        std::get<HtmlRuleItem>(piece.items.front()).rect.right = piece.width;
      }
      if (piece.vertical_align == kAlignBaseline) {
        ascent = std::max(ascent, piece.ascent);
        descent = std::max(descent, piece.descent);
      } else {
        height = std::max(height, piece.ascent + piece.descent);
      }
    }
    height = std::max(height, ascent + descent);
    const int width = line.Width();
    int x = 0;
    int per_blank = 0, extra = 0;
    if (line.align == kAlignCenter) x = (box - width) / 2;
    else if (line.align == kAlignRight) x = box - width;
    else if (line.align == kAlignJustify && !line.forced && line.pieces.size() > 1) {
      int blanks = 0;
      for (std::size_t i = 0; i + 1 < line.pieces.size(); ++i) blanks += line.pieces[i].blank_end ? 1 : 0;
      if (blanks > 0 && box > width) {
        per_blank = (box - width) / blanks;
        extra = (box - width) % blanks;
      }
    }
    int shift = 0;
    for (std::size_t i = 0; i < line.pieces.size(); ++i) {
      Piece& piece = line.pieces[i];
      const bool last = i + 1 == line.pieces.size();
      int y = 0;
      const int piece_height = piece.ascent + piece.descent;
      if (piece.vertical_align == kAlignBaseline) y = ascent - piece.ascent;
      else if (piece.vertical_align == kAlignMiddle) y = (height - piece_height) / 2;
      else if (piece.vertical_align == kAlignBottom) y = height - piece_height;
      for (HtmlItem& item : piece.items) {
        if (last && piece.blank_end)
          if (auto* text = std::get_if<HtmlTextItem>(&item)) {  // the blank a line ends in is not drawn
            text->text.resize(text->text.find_last_not_of(' ') + 1);
            text->rect.right = piece.trim_width;
          }
        OffsetItem(item, x + piece.x + shift, top + y);
        block.items.push_back(std::move(item));
      }
      if (piece.blank_end && !last && (per_blank > 0 || extra > 0)) {
        shift += per_blank + (extra > 0 ? 1 : 0);
        if (extra > 0) --extra;
      }
    }
    top += height;
  }
  block.size.height = top;
  return block;
}

HtmlLayout LayoutHtml(std::string_view text, const StyleSheet& sheet, HtmlDevice& device,
                      const HtmlLayoutOptions& options) {
  // The body around the text is added as tags, not as text: an unended tag
  // at the end of the text must not swallow it.
  std::vector<HtmlToken> tokens = TokenizeHtml(ReplaceHtmlEntities(text));
  tokens.insert(tokens.begin(), TokenizeHtml("<body>").front());
  tokens.push_back(TokenizeHtml("</body>").front());
  HtmlLayout layout;
  LayoutContext context{tokens, std::vector<int>(tokens.size(), -1), sheet, device, options};
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const HtmlToken& token = tokens[i];
    if (token.kind != HtmlToken::Kind::Tag || token.closing || token.text != "a") continue;
    const auto href = token.params.find("href");
    const auto msg = token.params.find("msg");
    if (href != token.params.end()) layout.links.push_back({1, href->second});
    else if (msg != token.params.end()) layout.links.push_back({2, msg->second});
    else continue;
    context.link_of_token[i] = static_cast<int>(layout.links.size()) - 1;
  }
  Layouter layouter(context, DrawingState{}, options.width_limit, 0);
  HtmlBlock block = layouter.Lay(0, tokens.size(), options.fill_width);
  layout.size = block.size;
  layout.items = std::move(block.items);
  return layout;
}

}  // namespace brevant

namespace brevant {

std::string HtmOpenCommand(std::string_view registered, std::string_view address) {
  std::size_t cut = registered.find("\"%1\"");
  if (cut == std::string_view::npos) cut = registered.find("%1");
  std::string command(registered.substr(0, cut));
  while (!command.empty() && command.back() == ' ') command.pop_back();
  if (command.empty()) return command;
  return command + " " + std::string(address);
}

}  // namespace brevant
