// Inside the markup's layout: one Layouter lays out one block (the whole
// text, or one table cell) line by line. Tables lay their cells out with
// Layouters of their own. Only the layout's own sources include this.
#pragma once
#include <cstddef>
#include <vector>

#include "html_layout.h"
#include "html_table.h"

namespace brevant {

struct HtmlBlock {
  HtmlSize size;
  std::vector<HtmlItem> items;  // relative to the block's top left corner
};

void OffsetItem(HtmlItem& item, int dx, int dy);

// What every Layouter of one layout shares.
struct LayoutContext {
  const std::vector<HtmlToken>& tokens;
  std::vector<int> link_of_token;  // the link an `a` token opens, else -1
  const StyleSheet& sheet;
  HtmlDevice& device;
  const HtmlLayoutOptions& options;
};

class Layouter {
 public:
  Layouter(LayoutContext& context, const DrawingState& state, int width_limit, int table_depth);
  // Lays out tokens [begin, end). With `fill`, lines align within the width
  // limit and the block is that wide.
  HtmlBlock Lay(std::size_t begin, std::size_t end, bool fill);

 private:
  struct Piece {
    int x = 0;
    int width = 0;       // advance
    int trim_width = 0;  // without its trailing blanks
    int ascent = 0;      // above the baseline (or the whole height when not baseline-aligned)
    int descent = 0;
    int vertical_align = kAlignBaseline;
    bool blank_end = false;
    bool only_blanks = false;
    int rule_percent = -1;  // a rule whose width is a share of the line's box
    std::vector<HtmlItem> items;  // relative to the piece's top left corner
  };
  struct Line {
    std::vector<Piece> pieces;
    int align = kAlignLeft;
    int min_height = 0;
    bool forced = false;  // ended by a break or the end of the block
    int Width() const;
  };

  void Token(std::size_t& index, std::size_t end);
  void Tag(const HtmlToken& tag, std::size_t index);
  void AddText(const std::string& text);
  void AddPiece(Piece piece);
  void EndLine(bool forced);
  void AddTab(int count);
  void AddRule(const HtmlToken& tag);
  void AddPicture(TagKind kind, const HtmlToken& tag);
  void AddTable(std::size_t open, std::size_t close);
  HtmlBlock LayTable(std::size_t open, std::size_t close);
  HtmlBlock Place(bool fill);
  int LineHeightNow();

  LayoutContext& context_;
  DrawingState state_;
  StateStack saved_;
  int width_limit_;
  int table_depth_;
  std::vector<Line> lines_;
  Line line_;
  int pen_ = 0;
};

}  // namespace brevant
