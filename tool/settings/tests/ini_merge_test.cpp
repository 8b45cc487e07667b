// The install run's merge of a new master into a user's settings copy.
#include "ini_merge.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct Case {
  const char* what;
  std::string master, copy;
  std::optional<std::string> baseline;
  std::string expected;
};

TEST(MergeSettingsCopy, KeepsWhatTheUserChangedAndTakesTheRestFromTheMaster) {
  const Case cases[] = {
      {"left values follow, changed ones stay, missing ones come", "; new\n[T]\nA=2\nB=2\nC=new\n",
       "[T]\nA=1\nB=mine\n", "[T]\nA=1\nB=1\n", "; new\n[T]\nA=2\nB=mine\nC=new\n"},
      {"without a baseline what differs from the master is the user's", "[T]\nA=2\nB=1\n", "[T]\nA=1\nB=1\n",
       std::nullopt, "[T]\nA=1\nB=1\n"},
      {"names in any case, values as read but with their case", "[TOOL]\nKey=new\nQ=new\nV=new\n",
       "[tool]\n  KEY =  'old'  \nq=\"x\"\nv=ABC\n", "[Tool]\nkey=old\nQ=x\nV=abc\n", "[TOOL]\nKey=new\nQ=new\nV=ABC\n"},
      {"the user's keys after the section's last key, the user's section at the end, the master's layout",
       "[A]\n; about x\nX=1\n\n; about B\n[B]\nY=1", "; my notes\n[B]\nMINE=7\n[A]\nOLD=3\nX=1\n[C]\n; mine\nZ=9\n",
       "[A]\nX=1\n[B]\nY=1\n", "[A]\n; about x\nX=1\nOLD=3\n\n; about B\n[B]\nY=1\nMINE=7\n[C]\n; mine\nZ=9\n"},
      {"only the first of a repeated section or key is read", "[A]\nK=new\nK=second\n[A]\nK=later\n",
       "[A]\nK=old\nK=mine\n[A]\nK=mine2\nL=unread\n", "[A]\nK=old\n", "[A]\nK=new\nK=second\n[A]\nK=later\n"},
      // 0x5D (']') and 0x41 ('A') as trail bytes belong to their characters.
      {"double-byte names", "[\xD6\x5D" "ab]\n\xD6\x41=new\n", "[\xD6\x5D" "ab]\n\xD6\x61=mine\n[\xD6\x5D" "cd]\nK=x\n",
       "[\xD6\x5D" "ab]\n\xD6\x41=old\n", "[\xD6\x5D" "ab]\n\xD6\x41=new\n\xD6\x61=mine\n[\xD6\x5D" "cd]\nK=x\n"},
      {"line ends of the master; a key the old master lacked is the user's", "[T]\r\nA=2\r\nN=new\r\n",
       "[T]\r\nA=1\r\nN=user\r\nU=u\n", "[T]\r\nA=1\r\n", "[T]\r\nA=2\r\nN=user\r\nU=u\r\n"},
      {"keys before any section", "; top\n[T]\nA=1\n", "H=h\n[T]\nA=1\n", "[T]\nA=1\n", "H=h\n; top\n[T]\nA=1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<std::string_view> baseline =
        c.baseline ? std::optional<std::string_view>(*c.baseline) : std::nullopt;
    const std::string merged = brevant::MergeSettingsCopy(c.master, c.copy, baseline);
    EXPECT_EQ(merged, c.expected);
    // The next install of the same master changes nothing.
    EXPECT_EQ(brevant::MergeSettingsCopy(c.master, merged, c.master), merged);
  }
}

}  // namespace
