// The browsers' list of sites that may reach this machine's loopback address
// (Chrome's and Edge's machine policy "LoopbackNetworkAllowedForUrls"): a
// page of any other public site is held back before its WebSocket reaches
// the bridge. The installer lists the bank's sites there and takes them out
// again; what an organisation listed itself is never touched.
//
// A list policy is a registry key with one string value per entry, named
// "1", "2", ...; a browser may stop reading at the first missing number, so
// new entries fill the lowest free numbers.
#pragma once
#include <string>
#include <vector>

namespace corvane {

struct ListEntry {
  std::string name;   // the value's name
  std::string value;  // its text; "" for a value that is not a string
};

struct ListChange {
  std::vector<std::string> remove;  // names of our entries to delete
  std::vector<ListEntry> add;       // entries to write
  std::vector<ListEntry> record;    // what is ours afterwards
};

// What to change in a list that holds `listed` now, where `recorded` are the
// entries we wrote earlier, so that exactly `origins` are listed on our
// behalf:
// - an entry of ours whose value was changed since is no longer ours: it is
//   left alone and forgotten;
// - an entry of ours whose origin is no longer wanted is removed;
// - an origin listed already, by us or by anyone, is not added again (an
//   entry counts when it names the same origin, in any case or with a path);
// - the others are added under the lowest numbers no value uses.
// With no origins this takes out everything that is still ours.
ListChange PlanLoopbackList(const std::vector<ListEntry>& listed, const std::vector<ListEntry>& recorded,
                            const std::vector<std::string>& origins);

}  // namespace corvane
