#include "html_table.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace brevant {
namespace {

bool Is(const HtmlToken& token, const char* name, bool closing) {
  return token.kind == HtmlToken::Kind::Tag && token.closing == closing && token.text == name;
}

int Span(const HtmlToken& tag, const char* name) {
  const auto param = tag.params.find(name);
  if (param == tag.params.end()) return 1;
  int value = 1;
  const std::string& text = param->second;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || value < 1) return 1;
  return std::min(value, kMaxTableSpan);
}

// Which grid places are taken, growing as rows and columns appear.
class Occupancy {
 public:
  bool Taken(int row, int column) const {
    return row < static_cast<int>(taken_.size()) && column < static_cast<int>(taken_[row].size()) &&
           taken_[row][column];
  }
  void Take(int row, int column, int rowspan, int colspan) {
    for (int r = row; r < row + rowspan; ++r) {
      if (r >= static_cast<int>(taken_.size())) taken_.resize(r + 1);
      auto& cells = taken_[r];
      if (column + colspan > static_cast<int>(cells.size())) cells.resize(column + colspan, false);
      for (int c = column; c < column + colspan; ++c) cells[c] = true;
    }
  }

 private:
  std::vector<std::vector<bool>> taken_;
};

}  // namespace

std::size_t FindClosingTag(const std::vector<HtmlToken>& tokens, std::size_t open, std::size_t end) {
  const std::string& name = tokens[open].text;
  int depth = 0;
  for (std::size_t i = open + 1; i < end; ++i) {
    const HtmlToken& token = tokens[i];
    if (token.kind != HtmlToken::Kind::Tag || token.text != name) continue;
    if (!token.closing) ++depth;
    else if (depth-- == 0) return i;
  }
  return end;
}

TableGrid ParseTableGrid(const std::vector<HtmlToken>& tokens, std::size_t begin, std::size_t end) {
  TableGrid grid;
  Occupancy occupancy;
  int row = -1;
  for (std::size_t i = begin; i < end; ++i) {
    const HtmlToken& token = tokens[i];
    if (Is(token, "table", false)) {
      i = FindClosingTag(tokens, i, end);  // a table outside any cell is dropped whole
    } else if (Is(token, "tr", false)) {
      if (row + 1 >= kMaxTableSpan) break;
      ++row;
    } else if (Is(token, "td", false)) {
      if (row < 0) row = 0;  // a cell before any row opens the first
      TableCell cell;
      cell.row = row;
      while (occupancy.Taken(row, cell.column)) ++cell.column;
      if (cell.column >= kMaxTableSpan) continue;
      cell.rowspan = std::min(Span(token, "rowspan"), kMaxTableSpan - row);
      cell.colspan = std::min(Span(token, "colspan"), kMaxTableSpan - cell.column);
      cell.tag = i;
      cell.begin = i + 1;
      // The content runs to its closing tag, or up to the next cell or row
      // when the closing tag was left out; tables inside are skipped whole.
      std::size_t j = cell.begin;
      while (j < end) {
        const HtmlToken& inner = tokens[j];
        if (Is(inner, "td", true) || Is(inner, "td", false) || Is(inner, "tr", false) || Is(inner, "tr", true)) break;
        j = Is(inner, "table", false) ? std::min(FindClosingTag(tokens, j, end) + 1, end) : j + 1;
      }
      cell.end = j;
      occupancy.Take(row, cell.column, cell.rowspan, cell.colspan);
      grid.rows = std::max(grid.rows, row + cell.rowspan);
      grid.columns = std::max(grid.columns, cell.column + cell.colspan);
      grid.cells.push_back(cell);
      i = (j < end && Is(tokens[j], "td", true)) ? j : j - 1;
    }
  }
  return grid;
}

std::vector<int> SettleSpans(const std::vector<SpanNeed>& needs, int count, int gap) {
  std::vector<int> sizes(std::max(count, 0), 0);
  int widest_span = 1;
  for (const SpanNeed& need : needs) widest_span = std::max(widest_span, need.span);
  for (int span = 1; span <= widest_span; ++span) {
    for (const SpanNeed& need : needs) {
      if (need.span != span || need.first < 0 || need.first + span > count) continue;
      if (span == 1) {
        sizes[need.first] = std::max(sizes[need.first], need.size);
        continue;
      }
      int given = gap * (span - 1);
      for (int i = need.first; i < need.first + span; ++i) given += sizes[i];
      if (need.size <= given) continue;
      const int difference = need.size - given;
      for (int i = need.first; i < need.first + span; ++i) sizes[i] += difference / span;
      sizes[need.first] += difference % span;
    }
  }
  return sizes;
}

bool ShareSpare(std::vector<int>& sizes, const std::vector<bool>& fixed, int spare) {
  int open = 0;
  for (std::size_t i = 0; i < sizes.size(); ++i)
    if (i >= fixed.size() || !fixed[i]) ++open;
  if (open == 0) return false;
  for (std::size_t i = 0; i < sizes.size() && spare > 0; ++i) {
    if (i < fixed.size() && fixed[i]) continue;
    const int share = spare / open--;
    sizes[i] += share;
    spare -= share;
  }
  return true;
}

}  // namespace brevant
