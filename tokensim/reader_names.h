// Reader names of simulated keys: "Quillon Tarnex UDISK <slot>", matched
// without regard to case, as the maker's library does.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace sim {

inline constexpr int kMaxSlots = 64;

std::string ReaderName(int slot);
// The slot a reader name denotes, or nothing for a name outside the family.
std::optional<int> SlotFromReaderName(std::string_view reader);
// Whether notifications registered with `filter` cover `reader`. The filter
// names a reader of the family ("Quillon Tarnex UDISK 0"); the whole family
// is reported, since a key may appear in any of its readers. A null or empty
// filter covers every reader.
bool ReaderMatchesFilter(std::string_view reader, const char* filter);

}  // namespace sim
