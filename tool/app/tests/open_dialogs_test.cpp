// Dialogs closed with the key they belong to.
#include "open_dialogs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(OpenDialogs, RemovalClosesTheDialogsOfThatKeyOnly) {
  brevant::OpenDialogRegistry<int> registry;
  registry.Register("Quillon Tarnex UDISK 0", 1);
  registry.Register("Quillon Tarnex UDISK 1", 2);
  registry.Register("Quillon Tarnex UDISK 0", 3);
  registry.Register("quillon tarnex udisk 0", 4);  // names are compared exactly
  registry.Unregister(3);
  std::vector<int> closed;
  registry.CloseFor("Quillon Tarnex UDISK 0", [&](int dialog) { closed.push_back(dialog); });
  EXPECT_EQ(closed, std::vector<int>{1});
  EXPECT_EQ(registry.size(), 2u);
  closed.clear();
  registry.CloseFor("Quillon Tarnex UDISK 0", [&](int dialog) { closed.push_back(dialog); });
  EXPECT_TRUE(closed.empty()) << "closed once";
}

}  // namespace
