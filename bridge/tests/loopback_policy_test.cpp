#include "loopback_policy.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

const std::string kBank = "https://ebank.vesbank.example";
const std::string kWww = "https://www.vesbank.example";

std::string Names(const std::vector<ListEntry>& entries) {
  std::string out;
  for (const ListEntry& e : entries) out += e.name + "=" + e.value + " ";
  return out;
}

std::string Names(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += n + " ";
  return out;
}

}  // namespace

TEST(LoopbackPolicy, PlansTheBankSitesBesideWhatOthersListed) {
  const struct {
    const char* what;
    std::vector<ListEntry> listed, recorded;
    std::vector<std::string> origins;
    std::string remove, add, record;
  } cases[] = {
      {"empty list", {}, {}, {kBank, kWww}, "", "1=" + kBank + " 2=" + kWww + " ", "1=" + kBank + " 2=" + kWww + " "},
      {"an organisation's entry keeps its number",
       {{"1", "https://intranet.example.org"}}, {}, {kBank}, "", "2=" + kBank + " ", "2=" + kBank + " "},
      {"gaps are filled first, other names count as taken",
       {{"2", "[*.]example.edu"}, {"x", "*"}, {"4", ""}}, {}, {kBank, kWww}, "", "1=" + kBank + " 3=" + kWww + " ",
       "1=" + kBank + " 3=" + kWww + " "},
      {"already listed by someone else, as another spelling of the same origin",
       {{"1", "HTTPS://EBank.Vesbank.example:443/login"}}, {}, {kBank}, "", "", ""},
      {"a wildcard is not the origin", {{"1", "[*.]vesbank.example"}}, {}, {kBank}, "", "2=" + kBank + " ",
       "2=" + kBank + " "},
      {"installed again: our entries stay ours", {{"1", "o"}, {"2", kBank}}, {{"2", kBank}}, {kBank}, "", "",
       "2=" + kBank + " "},
      {"a site dropped from the bank's list goes", {{"1", kWww}, {"2", kBank}}, {{"1", kWww}, {"2", kBank}},
       {kBank}, "1 ", "", "2=" + kBank + " "},
      {"uninstalled: only our entries go", {{"1", "o"}, {"2", kBank}, {"3", kWww}},
       {{"2", kBank}, {"3", kWww}}, {}, "2 3 ", "", ""},
      {"an entry of ours that was changed since is left and forgotten", {{"2", "https://other.example"}},
       {{"2", kBank}}, {}, "", "", ""},
      {"an entry of ours deleted since", {}, {{"2", kBank}}, {kBank}, "", "1=" + kBank + " ", "1=" + kBank + " "},
  };
  for (const auto& c : cases) {
    const ListChange change = PlanLoopbackList(c.listed, c.recorded, c.origins);
    EXPECT_EQ(Names(change.remove), c.remove) << c.what;
    EXPECT_EQ(Names(change.add), c.add) << c.what;
    EXPECT_EQ(Names(change.record), c.record) << c.what;
  }
}
