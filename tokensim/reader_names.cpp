#include "reader_names.h"

#include "ascii_case.h"
#include "tk_defs.h"

namespace sim {
namespace {

// The family part of a reader name: without a trailing " <digits>".
std::string_view FamilyOf(std::string_view name) {
  std::size_t end = name.size();
  while (end > 0 && name[end - 1] >= '0' && name[end - 1] <= '9') --end;
  if (end < name.size() && end > 0 && name[end - 1] == ' ') return name.substr(0, end - 1);
  return name;
}

}  // namespace

std::string ReaderName(int slot) { return std::string(tk::kReaderFamily) + " " + std::to_string(slot); }

std::optional<int> SlotFromReaderName(std::string_view reader) {
  const std::string_view family = tk::kReaderFamily;
  if (reader.size() < family.size() + 2 || !tk::EqualsIgnoringAsciiCase(reader.substr(0, family.size()), family) ||
      reader[family.size()] != ' ')
    return std::nullopt;
  const std::string_view digits = reader.substr(family.size() + 1);
  if (digits.size() > 2 || (digits.size() > 1 && digits[0] == '0')) return std::nullopt;
  int slot = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    slot = slot * 10 + (c - '0');
  }
  if (slot >= kMaxSlots) return std::nullopt;
  return slot;
}

bool ReaderMatchesFilter(std::string_view reader, const char* filter) {
  if (filter == nullptr || *filter == '\0') return true;
  return tk::EqualsIgnoringAsciiCase(FamilyOf(reader), FamilyOf(filter));
}

}  // namespace sim
