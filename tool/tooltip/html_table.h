// Tables of the tooltip markup: which cell sits where, and the sizes of
// columns and rows. Portable.
#pragma once
#include <cstddef>
#include <vector>

#include "html_tokens.h"

namespace brevant {

// Far more than a tooltip shows; keeps absurd spans from costing memory.
constexpr int kMaxTableSpan = 64;

struct TableCell {
  int row = 0;
  int column = 0;
  int rowspan = 1;
  int colspan = 1;
  std::size_t tag = 0;            // the cell's `td` token
  std::size_t begin = 0, end = 0;  // its content: tokens [begin, end)
};

struct TableGrid {
  int rows = 0;
  int columns = 0;
  std::vector<TableCell> cells;
};

// The index of the token that closes the tag opened at `open` (same name,
// nesting counted), or `end` when it is not closed before `end`.
std::size_t FindClosingTag(const std::vector<HtmlToken>& tokens, std::size_t open, std::size_t end);

// The cells of a table's tokens [begin, end) (what lies between `table` and
// `/table`), placed row by row in the first columns that cells spanning
// down from rows above leave free. Anything outside `td` is dropped.
TableGrid ParseTableGrid(const std::vector<HtmlToken>& tokens, std::size_t begin, std::size_t end);

// One cell's need along one axis.
struct SpanNeed {
  int first = 0;  // first column (row)
  int span = 1;
  int size = 0;   // pixels it needs
};

// Column widths (row heights) settled span by span: a column is as wide as
// its widest single-column cell; a cell spanning n columns that needs more
// than they give (with the `gap` between them) adds the difference divided
// by n to each and the remainder to the first.
std::vector<int> SettleSpans(const std::vector<SpanNeed>& needs, int count, int gap);

// Shares `spare` pixels among the columns that are not fixed: each in turn
// gets what is left divided by the number of such columns left. False when
// every column is fixed (nothing shared).
bool ShareSpare(std::vector<int>& sizes, const std::vector<bool>& fixed, int spare);

}  // namespace brevant
