#include "loopback_policy.h"

#include <algorithm>
#include <optional>

#include "origin.h"

namespace corvane {
namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

const ListEntry* Find(const std::vector<ListEntry>& entries, const std::string& name) {
  const auto at = std::find_if(entries.begin(), entries.end(), [&](const ListEntry& e) { return e.name == name; });
  return at == entries.end() ? nullptr : &*at;
}

bool ListsOrigin(const std::vector<ListEntry>& entries, const std::string& origin) {
  return std::any_of(entries.begin(), entries.end(), [&](const ListEntry& e) {
    const std::optional<std::string> listed = SiteOrigin(e.value);
    return listed && *listed == origin;
  });
}

std::string LowestFreeName(const std::vector<ListEntry>& entries) {
  for (unsigned number = 1;; ++number) {
    std::string name = std::to_string(number);
    if (!Find(entries, name)) return name;
  }
}

}  // namespace

ListChange PlanLoopbackList(const std::vector<ListEntry>& listed, const std::vector<ListEntry>& recorded,
                            const std::vector<std::string>& origins) {
  ListChange change;
  std::vector<ListEntry> remaining;
  for (const ListEntry& entry : listed) {
    const ListEntry* ours = Find(recorded, entry.name);
    const bool still_ours = ours && ours->value == entry.value;
    if (still_ours && !Contains(origins, entry.value)) {
      change.remove.push_back(entry.name);
      continue;
    }
    if (still_ours) change.record.push_back(entry);
    remaining.push_back(entry);
  }
  for (const std::string& origin : origins) {
    if (ListsOrigin(remaining, origin)) continue;
    ListEntry entry{LowestFreeName(remaining), origin};
    remaining.push_back(entry);
    change.add.push_back(entry);
    change.record.push_back(entry);
  }
  return change;
}

}  // namespace corvane
