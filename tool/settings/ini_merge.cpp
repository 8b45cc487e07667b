#include "ini_merge.h"

#include <cstddef>
#include <map>
#include <utility>
#include <vector>

#include "text_cut.h"

namespace brevant {
namespace {

constexpr std::string_view kBlanks = " \t\v\f";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A value as the profile functions hand it out: without the blanks around
// it and without one pair of matching quotes around the rest.
std::string_view ValueAsRead(std::string_view raw) {
  std::string_view value = Trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

// The lookup form of a section or key name: ASCII letters in one case.
// Double-byte characters stay as they are: their trail byte may look like a
// letter and must not match another character.
std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(folded[i]);
    if (IsLeadByte(byte)) ++i;
    else if (byte >= 'A' && byte <= 'Z') folded[i] = static_cast<char>(byte - 'A' + 'a');
  }
  return folded;
}

struct Line {
  std::string_view text;           // without its end
  std::string_view end;            // "\r\n", "\n", "\r", or "" for a last line without one
  bool header = false;             // "[name]"
  std::string_view name;           // of a header or a key, trimmed
  std::size_t value_at = kNone;    // key lines: where the value starts in `text`
};

void Classify(Line& line) {
  const std::string_view text = line.text;
  const std::size_t start = text.find_first_not_of(kBlanks);
  if (start == std::string_view::npos || text[start] == ';') return;
  if (text[start] == '[') {
    // A trail byte may be ']': the name ends at the first ']' that is a
    // character of its own.
    std::size_t close = start + 1;
    while (close < text.size() && text[close] != ']')
      close += IsLeadByte(static_cast<unsigned char>(text[close])) && close + 1 < text.size() ? 2 : 1;
    line.header = true;
    line.name = Trim(text.substr(start + 1, close - start - 1));
    return;
  }
  const std::size_t equals = text.find('=', start);  // never a trail byte
  if (equals == std::string_view::npos) return;
  line.name = Trim(text.substr(start, equals - start));
  if (!line.name.empty()) line.value_at = equals + 1;
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    Line line;
    const std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) {
      line.text = text.substr(at);
      at = text.size();
    } else {
      const std::size_t width = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
      line.text = text.substr(at, end - at);
      line.end = text.substr(end, width);
      at = end + width;
    }
    Classify(line);
    lines.push_back(line);
  }
  return lines;
}

struct Section {
  std::string_view name;
  std::size_t first_line = 0;  // its header; for the lines before any header, 0
  std::size_t end_line = 0;    // one past its last line
  std::size_t last_key = kNone;
  std::map<std::string, std::size_t> keys;  // folded name -> its first line
};

// A settings file as the profile functions read it: of sections with the
// same name only the first counts, of keys with the same name in it only
// the first. Lines before any header form a section named "".
class IniText {
 public:
  explicit IniText(std::string_view text) : lines_(SplitLines(text)) {
    sections_.emplace_back();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const Line& line = lines_[i];
      if (line.header) {
        sections_.back().end_line = i;
        sections_.push_back({line.name, i, i, kNone, {}});
      } else if (line.value_at != kNone) {
        sections_.back().keys.try_emplace(FoldedName(line.name), i);
        sections_.back().last_key = i;
      }
    }
    sections_.back().end_line = lines_.size();
    for (std::size_t i = 0; i < sections_.size(); ++i) first_section_.try_emplace(FoldedName(sections_[i].name), i);
  }

  const std::vector<Line>& lines() const { return lines_; }
  const std::vector<Section>& sections() const { return sections_; }
  // The section read under `folded` name, or null.
  const Section* Read(const std::string& folded) const {
    const auto found = first_section_.find(folded);
    return found == first_section_.end() ? nullptr : &sections_[found->second];
  }
  bool IsRead(const Section& section) const { return Read(FoldedName(section.name)) == &section; }
  std::optional<std::string_view> RawValue(const std::string& section, const std::string& key) const {
    const Section* read = Read(section);
    if (read == nullptr) return std::nullopt;
    const auto found = read->keys.find(key);
    if (found == read->keys.end()) return std::nullopt;
    const Line& line = lines_[found->second];
    return line.text.substr(line.value_at);
  }
  // The end of the first line that has one; CR LF for a file of one line.
  std::string_view LineEnd() const {
    for (const Line& line : lines_)
      if (!line.end.empty()) return line.end;
    return "\r\n";
  }

 private:
  std::vector<Line> lines_;
  std::vector<Section> sections_;
  std::map<std::string, std::size_t> first_section_;
};

class Merge {
 public:
  Merge(std::string_view master, std::string_view copy, std::optional<std::string_view> baseline)
      : master_(master), copy_(copy), line_end_(master_.LineEnd()) {
    if (baseline) baseline_.emplace(*baseline);
  }

  std::string Run() {
    for (const Section& section : master_.sections()) MasterSection(section);
    // The user's own sections, whole.
    for (const Section& theirs : copy_.sections()) {
      if (!copy_.IsRead(theirs) || master_.Read(FoldedName(theirs.name)) != nullptr) continue;
      for (std::size_t i = theirs.first_line; i < theirs.end_line; ++i) Put(copy_.lines()[i].text, line_end_);
    }
    return std::move(out_);
  }

 private:
  void MasterSection(const Section& section) {
    const std::string folded = FoldedName(section.name);
    // A later section of a name already seen is never read: left as it is.
    const Section* theirs = master_.IsRead(section) ? copy_.Read(folded) : nullptr;
    // The user's keys go after the section's last key, or after its header;
    // before a file's first header, without keys there, at the top.
    const std::size_t after = section.last_key != kNone ? section.last_key : section.first_line;
    const bool at_top = section.last_key == kNone && &section == &master_.sections().front();
    if (at_top) CopyOnlyKeys(section, theirs);
    for (std::size_t i = section.first_line; i < section.end_line; ++i) {
      const Line& line = master_.lines()[i];
      const std::optional<std::string_view> kept =
          theirs != nullptr && line.value_at != kNone && section.keys.at(FoldedName(line.name)) == i
              ? KeptValue(folded, line)
              : std::nullopt;
      if (kept) Put(std::string(line.text.substr(0, line.value_at)) + std::string(*kept), line.end);
      else Put(line.text, line.end);
      if (i == after && !at_top) CopyOnlyKeys(section, theirs);
    }
  }

  // The copy's value of a master's key when it is the user's to keep.
  std::optional<std::string_view> KeptValue(const std::string& section, const Line& line) const {
    const std::string key = FoldedName(line.name);
    const std::optional<std::string_view> theirs = copy_.RawValue(section, key);
    if (!theirs || ValueAsRead(*theirs) == ValueAsRead(line.text.substr(line.value_at))) return std::nullopt;
    if (baseline_) {
      const std::optional<std::string_view> base = baseline_->RawValue(section, key);
      if (base && ValueAsRead(*base) == ValueAsRead(*theirs)) return std::nullopt;  // left as it came
    }
    return theirs;
  }

  // The keys of the copy's section that the master's lacks, in the copy's order.
  void CopyOnlyKeys(const Section& section, const Section* theirs) {
    if (theirs == nullptr) return;
    for (std::size_t i = theirs->first_line; i < theirs->end_line; ++i) {
      const Line& line = copy_.lines()[i];
      if (line.value_at == kNone) continue;
      const std::string key = FoldedName(line.name);
      if (theirs->keys.at(key) == i && section.keys.count(key) == 0) Put(line.text, line_end_);
    }
  }

  // A line after one that ended the file gets that line its end first.
  void Put(std::string_view text, std::string_view end) {
    if (!out_.empty() && out_.back() != '\n' && out_.back() != '\r') out_ += line_end_;
    out_ += text;
    out_ += end;
  }

  std::string out_;
  IniText master_, copy_;
  std::optional<IniText> baseline_;
  std::string_view line_end_;
};

}  // namespace

std::string MergeSettingsCopy(std::string_view master, std::string_view copy,
                              std::optional<std::string_view> baseline) {
  return Merge(master, copy, baseline).Run();
}

}  // namespace brevant
