// Tables: the grid from html_table, sizes settled span by span, then every
// cell laid out again at its final width and placed.
#include <algorithm>
#include <numeric>

#include "draw_effects.h"
#include "html_layouter.h"

namespace brevant {
namespace {

constexpr int kMaxTableDepth = 4;  // tables inside tables deeper than this are dropped
constexpr int kDefaultPadding = 2;
constexpr int kDoubleBorderSide = 3;

int AlignValue(const std::string& value, int fallback) {
  if (value == "left") return kAlignLeft;
  if (value == "center") return kAlignCenter;
  if (value == "right") return kAlignRight;
  return fallback;
}

int VerticalAlignValue(const std::string& value, int fallback) {
  if (value == "top") return kAlignTop;
  if (value == "middle" || value == "vcenter" || value == "center") return kAlignMiddle;
  if (value == "bottom") return kAlignBottom;
  return fallback;
}

// What one border takes on each side.
int BorderSide(const HtmlBorder& border) {
  if (border.style == kBorderNone || border.width <= 0) return 0;
  return border.style == kBorderDouble ? kDoubleBorderSide : border.width;
}

// The border and background attributes of a table or a cell. Border width 0
// turns the style off; a style but no width gets width 1; any style but
// solid is one pixel wide.
void ApplyBoxAttributes(const HtmlToken& tag, HtmlBorder& border, HtmlBackground& background, HtmlDevice& device,
                        int max_border) {
  LengthContext lengths;
  lengths.dpi = device.Dpi();
  const std::string width = ParamOf(tag, "border");
  if (!width.empty()) {
    border.width = std::clamp(ParseLength(width, lengths).value_or(border.width), 0, 100);
    if (border.width == 0) border.style = kBorderNone;
    else if (border.style == kBorderNone) border.style = kBorderSolid;
  }
  const std::string style = ParamOf(tag, "borderstyle");
  if (style == "none") border.style = kBorderNone;
  else if (style == "solid") border.style = kBorderSolid;
  else if (style == "dashed") border.style = kBorderDashed;
  else if (style == "dotted") border.style = kBorderDotted;
  else if (style == "double") border.style = kBorderDouble;
  if (border.style != kBorderNone && border.width == 0) border.width = 1;
  if (border.style != kBorderSolid && border.style != kBorderNone) border.width = 1;
  border.width = std::min(border.width, max_border);
  if (const auto colour = ColourValue(ParamOf(tag, "bordercolor"), device)) border.light = border.dark = *colour;
  if (const auto colour = ColourValue(ParamOf(tag, "bordercolorlight"), device)) border.light = *colour;
  if (const auto colour = ColourValue(ParamOf(tag, "bordercolordark"), device)) border.dark = *colour;

  if (const auto colour = ColourValue(ParamOf(tag, "bgcolor"), device)) {
    background.start = background.middle = background.end = *colour;
    if (background.effect == kEffectTransparent) background.effect = kEffectSolid;
  }
  if (const auto colour = ColourValue(ParamOf(tag, "bgmidcolor"), device)) background.middle = *colour;
  if (const auto colour = ColourValue(ParamOf(tag, "bgendcolor"), device)) background.end = *colour;
  if (const auto effect = ParseBackgroundEffect(ParamOf(tag, "bgeffect"))) background.effect = *effect;
}

std::optional<int> SizeAttribute(const HtmlToken& tag, const char* name, int percent_base, HtmlDevice& device) {
  const std::string value = ParamOf(tag, name);
  // A share of nothing (measuring without a width limit) is no size at all,
  // not a size of 0.
  if (value.empty() || (value.back() == '%' && percent_base <= 0)) return std::nullopt;
  LengthContext lengths;
  lengths.dpi = device.Dpi();
  lengths.percent_base = percent_base;
  const std::optional<int> size = ParseLength(value, lengths);
  if (!size) return std::nullopt;
  return std::clamp(*size, 0, 10000);
}

int Sum(const std::vector<int>& sizes, int first, int count, int gap) {
  return std::accumulate(sizes.begin() + first, sizes.begin() + first + count, 0) + gap * (count - 1);
}

}  // namespace

void Layouter::AddTable(std::size_t open, std::size_t close) {
  if (table_depth_ >= kMaxTableDepth) return;
  if (!line_.pieces.empty()) EndLine(false);
  const HtmlToken& tag = context_.tokens[open];
  HtmlBlock table = LayTable(open, close);
  if (table.size.width <= 0 && table.size.height <= 0) return;
  Piece piece;
  piece.width = piece.trim_width = table.size.width;
  piece.ascent = table.size.height;
  piece.vertical_align = kAlignTop;
  piece.items = std::move(table.items);
  line_.align = AlignValue(ParamOf(tag, "align"), kAlignLeft);
  line_.pieces.push_back(std::move(piece));
  EndLine(false);
}

HtmlBlock Layouter::LayTable(std::size_t open, std::size_t close) {
  const std::vector<HtmlToken>& tokens = context_.tokens;
  HtmlDevice& device = context_.device;
  const HtmlToken& tag = tokens[open];
  const TableGrid grid = ParseTableGrid(tokens, open + 1, close);
  HtmlBlock block;
  if (grid.cells.empty()) return block;

  HtmlBoxItem box;
  box.border = state_.border;
  ApplyBoxAttributes(tag, box.border, box.background, device, 100);
  box.background_picture = ParamOf(tag, "background");
  const int border_side = BorderSide(box.border);
  const int padding = SizeAttribute(tag, "cellpadding", 0, device).value_or(state_.padding > 0 ? state_.padding : kDefaultPadding);
  const int spacing = SizeAttribute(tag, "cellspacing", 0, device).value_or(0);
  const std::optional<int> table_width = SizeAttribute(tag, "width", width_limit_, device);
  const int available = table_width.value_or(width_limit_);
  const int table_valign = VerticalAlignValue(ParamOf(tag, "valign"), kAlignMiddle);
  HtmlBorder cell_border = box.border;
  cell_border.width = std::min(cell_border.width, 1);
  if (cell_border.style == kBorderDouble) cell_border.style = kBorderSolid;

  // First pass: what every cell needs.
  struct CellPlan {
    HtmlBoxItem box;
    DrawingState state;
    int inset = 0;  // padding and border on each side
    std::optional<int> width;
    int valign = kAlignMiddle;
  };
  std::vector<CellPlan> plans;
  std::vector<SpanNeed> widths, heights;
  std::vector<bool> fixed(grid.columns, false);
  for (const TableCell& cell : grid.cells) {
    const HtmlToken& cell_tag = tokens[cell.tag];
    CellPlan plan;
    plan.box.border = cell_border;
    ApplyBoxAttributes(cell_tag, plan.box.border, plan.box.background, device, 1);
    plan.box.background_picture = ParamOf(cell_tag, "background");
    plan.inset = padding + BorderSide(plan.box.border);
    plan.state = state_;
    plan.state.horizontal_align = AlignValue(ParamOf(cell_tag, "align"), kAlignLeft);
    plan.valign = VerticalAlignValue(ParamOf(cell_tag, "valign"), table_valign);
    // A width in pixels fixes the cell's columns; a share of the table's
    // width is only the least the cell takes, so that what was measured
    // without a width limit lays out the same when drawn at that width.
    const std::string width = ParamOf(cell_tag, "width");
    const bool share = !width.empty() && width.back() == '%';
    if (!share) plan.width = SizeAttribute(cell_tag, "width", available, device);
    const int least = share ? SizeAttribute(cell_tag, "width", available, device).value_or(0) : 0;
    const int limit = plan.width ? std::max(*plan.width - 2 * plan.inset, 1) : 0;
    Layouter content(context_, plan.state, limit, table_depth_ + 1);
    const HtmlSize size = content.Lay(cell.begin, cell.end, false).size;
    const int height = std::max(size.height + 2 * plan.inset,
                                SizeAttribute(cell_tag, "height", 0, device).value_or(0));
    widths.push_back({cell.column, cell.colspan, plan.width ? *plan.width : std::max(size.width + 2 * plan.inset, least)});
    heights.push_back({cell.row, cell.rowspan, height});
    if (plan.width)
      for (int c = cell.column; c < cell.column + cell.colspan; ++c) fixed[c] = true;
    plans.push_back(std::move(plan));
  }
  std::vector<int> columns = SettleSpans(widths, grid.columns, spacing);
  std::vector<int> rows = SettleSpans(heights, grid.rows, spacing);

  // The table's size; spare width goes to the columns that are not fixed.
  const int frame = box.border.style == kBorderDouble ? 2 * kDoubleBorderSide : 2 * border_side;
  int width = std::accumulate(columns.begin(), columns.end(), 0) + spacing * grid.columns + frame;
  if (available > width && ShareSpare(columns, fixed, available - width)) width = available;
  int height = std::accumulate(rows.begin(), rows.end(), 0) + spacing * grid.rows + frame;
  const std::optional<int> table_height = SizeAttribute(tag, "height", 0, device);
  if (table_height && *table_height > height && ShareSpare(rows, {}, *table_height - height)) height = *table_height;

  box.rect = {0, 0, width, height};
  block.items.push_back(box);
  std::vector<int> column_x(grid.columns), row_y(grid.rows);
  for (int c = 0, x = border_side + spacing / 2; c < grid.columns; x += columns[c] + spacing, ++c) column_x[c] = x;
  for (int r = 0, y = border_side + spacing / 2; r < grid.rows; y += rows[r] + spacing, ++r) row_y[r] = y;

  // Second pass: each cell at its final width.
  for (std::size_t i = 0; i < grid.cells.size(); ++i) {
    const TableCell& cell = grid.cells[i];
    CellPlan& plan = plans[i];
    const int cell_width = Sum(columns, cell.column, cell.colspan, spacing);
    const int cell_height = Sum(rows, cell.row, cell.rowspan, spacing);
    plan.box.rect = {column_x[cell.column], row_y[cell.row], column_x[cell.column] + cell_width,
                     row_y[cell.row] + cell_height};
    block.items.push_back(plan.box);
    Layouter content(context_, plan.state, std::max(cell_width - 2 * plan.inset, 1), table_depth_ + 1);
    HtmlBlock inner = content.Lay(cell.begin, cell.end, true);
    const int room = cell_height - 2 * plan.inset - inner.size.height;
    const int dy = plan.valign == kAlignTop ? 0 : plan.valign == kAlignBottom ? room : room / 2;
    for (HtmlItem& item : inner.items) {
      OffsetItem(item, plan.box.rect.left + plan.inset, plan.box.rect.top + plan.inset + std::max(dy, 0));
      block.items.push_back(std::move(item));
    }
  }
  block.size = {width, height};
  return block;
}

}  // namespace brevant
