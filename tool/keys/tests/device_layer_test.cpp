// The device layer against the software token, and against a stand-in
// reader list for the layouts the token cannot produce.
#include "device_layer.h"

#include <array>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "token_test_base.h"

namespace {

using brevant::KeyNodeId;

constexpr char kReader0[] = "Quillon Tarnex UDISK 0";
constexpr char kReader1[] = "Quillon Tarnex UDISK 1";
constexpr std::uint32_t kSecondName = sizeof kReader0;  // offset 23

HTREEITEM Node(int n) { return reinterpret_cast<HTREEITEM>(static_cast<std::intptr_t>(n)); }

// Nodes numbered from 1; 0 is "no node".
class FakeTree : public brevant::KeyTreeView {
 public:
  void Add(int n, std::uint32_t id, int parent = 0, int child = 0) { nodes_[n] = {id, parent, child}; }
  int selected = 0;

  HTREEITEM SelectedNode() const override { return Node(selected); }
  std::uint32_t NodeId(HTREEITEM node) const override { return Find(node).id; }
  HTREEITEM ParentNode(HTREEITEM node) const override { return Node(Find(node).parent); }
  HTREEITEM FirstChildNode(HTREEITEM node) const override { return Node(Find(node).child); }

 private:
  struct Entry {
    std::uint32_t id = brevant::kNoNodeId;
    int parent = 0, child = 0;
  };
  Entry Find(HTREEITEM node) const {
    const auto it = nodes_.find(static_cast<int>(reinterpret_cast<std::intptr_t>(node)));
    return it == nodes_.end() ? Entry{} : it->second;
  }
  std::map<int, Entry> nodes_;
};

class FakeList : public brevant::DetailsList {
 public:
  void Clear() override { rows.clear(); }
  void AddRow(const std::string& caption, const std::string& value) override { rows.emplace_back(caption, value); }
  std::vector<std::pair<std::string, std::string>> rows;
};

std::string SectionAndKey(const char* section, const char* key) { return std::string(section) + "/" + key; }

struct CertCall {
  std::string reader, container;
  std::uint32_t key_spec;
  std::size_t slot;
  bool operator==(const CertCall&) const = default;
};

class DeviceLayer : public TokenTest {
 protected:
  // One key node for the first reader.
  void SetUp() override {
    TokenTest::SetUp();
    tree_.Add(1, KeyNodeId(0));
  }
  std::vector<CertCall> List(brevant::KeyRecordMap& records) {
    std::vector<CertCall> calls;
    brevant::ListContainers(api_, tree_, Node(1), records,
                            [&](TK_HANDLE device, const std::string& container, std::uint32_t key_spec,
                                HTREEITEM key_node, brevant::KeyRecord& record, std::size_t slot) {
                              EXPECT_EQ(key_node, Node(1));
                              EXPECT_EQ(record.containers[slot], container);
                              // Stands in for the dates the certificate code stores.
                              record.valid_to[slot].year = static_cast<std::uint16_t>(2000 + calls.size());
                              calls.push_back({ReaderOf(device), container, key_spec, slot});
                            });
    return calls;
  }
  // The reader of the key a handed-on connection reaches, told by its label.
  std::string ReaderOf(TK_HANDLE device) {
    char label[260] = {};
    ULONG length = sizeof label;
    if (api_.TK_ReadLabel(device, label, &length) != tk::kOk) return "not connected";
    return label == brevant::ReadKeyLabel(api_, kReader0) ? kReader0 : label;
  }
  FakeList Properties() {
    FakeList list;
    list.rows.emplace_back("old", "row");
    brevant::ShowKeyProperties(api_, tree_, Node(1), list, SectionAndKey);
    return list;
  }
  FakeTree tree_;
};

TEST_F(DeviceLayer, NodesFindTheirReaderByOffsetWhileTheListIsUnchanged) {
  CreateInserted("k0");
  CreateInserted("k1");
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(0)), kReader0);
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(kSecondName)), kReader1);
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(1)), "");  // inside a name
  // Offset 256 shares its low byte with the first name: it must not land there.
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(0x100)), "");

  Ctl("fail k0 TK_GetDevState 0xE0020006");
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(kSecondName)), "") << "a failing state ends the walk";
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(kSecondName)), kReader1);

  Ctl("remove k0");
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(kSecondName)), "");
}

TEST_F(DeviceLayer, SelectedReaderNameFindsTheKeyAboveOrBelowTheSelection) {
  CreateInserted("k0");
  CreateInserted("k1");
  const std::uint32_t cert = 0x80001012;
  tree_.Add(2, cert, 1);
  tree_.Add(3, brevant::kNoNodeId, 0, 4);
  tree_.Add(4, KeyNodeId(kSecondName), 3);
  tree_.Add(5, brevant::kNoNodeId);
  tree_.Add(6, cert);
  tree_.Add(7, cert, 8);  // three levels below key 1: found at the fourth look
  tree_.Add(8, cert, 9);
  tree_.Add(9, cert, 1);
  tree_.Add(10, cert, 7);  // one level more than is looked at
  const std::vector<std::pair<int, std::string>> cases = {
      {0, ""}, {1, kReader0}, {2, kReader0}, {3, kReader1}, {5, ""}, {6, ""}, {7, kReader0}, {10, ""}};
  for (const auto& [selected, reader] : cases) {
    tree_.selected = selected;
    EXPECT_EQ(brevant::SelectedReaderName(api_, tree_), reader) << "selected node " << selected;
  }
}

TEST_F(DeviceLayer, ListContainersAddsSignatureBeforeExchangeWithSlotsAsPositions) {
  CreateInserted("k");
  Ctl("import-cert k --container both --spec sig --file " + simtest::CertFile("ku-sig"));
  Ctl("import-cert k --container both --spec exch --file " + simtest::CertFile("ku-none"));
  Ctl("add-container k --container empty");
  Ctl("import-cert k --container exch --spec exch --file " + simtest::CertFile("ku-nr"));

  brevant::KeyRecordMap records;
  records[kReader0].containers[5] = "taken off since";
  const std::vector<CertCall> expected = {
      {kReader0, "both", 2, 0}, {kReader0, "both", 1, 0}, {kReader0, "exch", 1, 2}};
  EXPECT_EQ(List(records), expected);

  ASSERT_EQ(records.size(), 1u);
  const brevant::KeyRecord& record = records.at(kReader0);
  EXPECT_EQ(record.containers[0], "both");
  EXPECT_EQ(record.containers[1], "");
  EXPECT_EQ(record.containers[2], "exch");
  EXPECT_EQ(record.containers[5], "");
  EXPECT_EQ(record.kind, brevant::kKeyRecordExchange);
  // What the last call stored reached the map.
  EXPECT_EQ(record.valid_to[2].year, 2002);
}

TEST_F(DeviceLayer, FailingContainerParameterOrConnectionAddsNothing) {
  CreateInserted("k");
  Ctl("import-cert k --container sig --spec sig --file " + simtest::CertFile("ku-sig"));
  Ctl("import-cert k --container exch --spec exch --file " + simtest::CertFile("ku-nr"));
  brevant::KeyRecordMap records;

  Ctl("fail k TK_GetContainerParam 0xE0020006");
  EXPECT_EQ(List(records), (std::vector<CertCall>{{kReader0, "exch", 1, 1}}));

  Ctl("fail k TK_ConnectDev 0xE0020013");
  EXPECT_TRUE(List(records).empty());
  EXPECT_EQ(records.at(kReader0).containers[1], "") << "the record is rebuilt even so";

  Ctl("fail k TK_GetContainerParam 0xE0020006 --times 0");
  EXPECT_EQ(brevant::KeyHasCert(api_, kReader0), 0);
}

TEST_F(DeviceLayer, ContainersBeyondTheRecordsSlotsGetNoNode) {
  CreateInserted("k");
  for (int i = 0; i < 9; ++i) Ctl("add-container k --container c" + std::to_string(i));
  Ctl("import-cert k --container c9 --spec sig --file " + simtest::CertFile("ku-sig"));
  Ctl("import-cert k --container c10 --spec sig --file " + simtest::CertFile("ku-sig"));
  brevant::KeyRecordMap records;
  EXPECT_EQ(List(records), (std::vector<CertCall>{{kReader0, "c9", 2, 9}}));
}

TEST_F(DeviceLayer, KeyHasCertOnlyForSignatureOrExchangeCertificates) {
  EXPECT_EQ(brevant::KeyHasCert(api_, kReader0), 0) << "no key";
  EXPECT_EQ(brevant::KeyHasCert(api_, nullptr), 0);
  CreateInserted("k");
  EXPECT_EQ(brevant::KeyHasCert(api_, kReader0), 0) << "no container";
  Ctl("add-container k --container empty");
  EXPECT_EQ(brevant::KeyHasCert(api_, kReader0), 0);
  Ctl("import-cert k --container exch --spec exch --file " + simtest::CertFile("ku-nr"));
  EXPECT_EQ(brevant::KeyHasCert(api_, kReader0), 1);
  Ctl("fail k TK_ConnectDev 0xE0020013");
  EXPECT_EQ(brevant::KeyHasCert(api_, kReader0), 0);
}

// The token always counts every name; this one counts one name less.
tk::TK_EnumContainer_Fn real_enum_container = nullptr;
ULONG WINAPI EnumContainerCountingOneLess(TK_HANDLE handle, char* names, ULONG* size, ULONG* count) {
  const ULONG result = real_enum_container(handle, names, size, count);
  if (result == tk::kOk && *count > 0) --*count;
  return result;
}

TEST_F(DeviceLayer, MoreNamesThanCountedStopTheWalkAtTheCount) {
  real_enum_container = reinterpret_cast<tk::TK_EnumContainer_Fn>(
      reinterpret_cast<void*>(GetProcAddress(api_.module(), "TK_EnumContainer")));
  ASSERT_NE(real_enum_container, nullptr);
  api_.TK_EnumContainer.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&EnumContainerCountingOneLess)));
  CreateInserted("k");
  Ctl("add-container k --container empty");
  Ctl("import-cert k --container sig --spec sig --file " + simtest::CertFile("ku-sig"));
  EXPECT_EQ(brevant::KeyHasCert(api_, kReader0), -1);
  brevant::KeyRecordMap records;
  EXPECT_TRUE(List(records).empty()) << "the counted container holds nothing";
}

TEST_F(DeviceLayer, PropertiesShowLabelTypeSerialAndFixedPinLimits) {
  CreateInserted("k", "--label Wallet --serial SN0042 --type 1");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"TOOL/LIST_CTL_DEV_LABEL", "Wallet"},
      {"TOOL/LIST_CTL_DEV_TYPE", "DeviceInfoPage/IDS_TARNEX1000_TYPE"},
      {"TOOL/LIST_CTL_DEV_SERIAL", "SN0042"},
      {"TOOL/LIST_CTL_DEV_PIN_MAX_LEN", "20"},
      {"TOOL/LIST_CTL_DEV_PIN_SMALL_LEN", "6"}};
  EXPECT_EQ(Properties().rows, expected);

  // A key that cannot be connected still gets its rows, typed as unknown.
  Ctl("fail k TK_ConnectDev 0xE0020013");
  const FakeList unread = Properties();
  ASSERT_EQ(unread.rows.size(), 5u);
  EXPECT_EQ(unread.rows[0].second, "");
  EXPECT_EQ(unread.rows[1].second, "DeviceInfoPage/IDS_UNKNOW_TYPE");
  EXPECT_EQ(unread.rows[2].second, "");
  EXPECT_EQ(unread.rows[3].second, "20");
  EXPECT_EQ(unread.rows[4].second, "6");
}

TEST_F(DeviceLayer, TypeTextFollowsTheTypeCode) {
  CreateInserted("k");
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"--type 2", "DeviceInfoPage/IDS_TARNEX2000_TYPE"}, {"--type 3", "DeviceInfoPage/IDS_TARNEX3000_TYPE"},
      {"--type 4", "DeviceInfoPage/IDS_UNKNOW_TYPE"},     {"--type 5", ""},
      {"--type 0", ""}};
  for (const auto& [option, text] : cases) {
    Ctl(std::string("set k ") + option);
    const FakeList list = Properties();
    ASSERT_EQ(list.rows.size(), 5u);
    EXPECT_EQ(list.rows[1].second, text) << option;
  }
  Ctl("fail k TK_GetDevType 0xE0020006");
  EXPECT_EQ(Properties().rows[1].second, "DeviceInfoPage/IDS_UNKNOW_TYPE") << "failing type query";
}

// A reader list served from memory, every reader present.
std::array<char, brevant::kReaderListBytes> fake_readers{};
ULONG fake_list_result = tk::kOk;
ULONG WINAPI FakeListReaders(char* names, ULONG* size, ULONG* count) {
  if (*size < fake_readers.size()) return tk::kBufferTooSmall;
  std::memcpy(names, fake_readers.data(), fake_readers.size());
  *count = 1;
  return fake_list_result;
}
ULONG WINAPI FakeDevState(const char*, ULONG* state) {
  *state = tk::kStatePresent;
  return tk::kOk;
}

class StandInReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_readers.fill('\0');
    fake_list_result = tk::kOk;
    api_.TK_ListReaders.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeListReaders)));
    api_.TK_GetDevState.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FakeDevState)));
  }
  // Names of `length` letters from offset 0 on, the last one at `last`.
  void Fill(std::size_t length, std::size_t last, const char* last_name) {
    for (std::size_t offset = 0; offset + length < last; offset += length + 1)
      std::memset(&fake_readers[offset], 'r', length);
    std::memcpy(&fake_readers[last], last_name, std::strlen(last_name));
  }
  tk::DeviceApi api_;
};

TEST_F(StandInReaders, ANameFromOffset256OnCannotBeResolvedNorMistakenForTheFirst) {
  Fill(15, 256, "K");  // 16 names of 15 letters, then "K" at 256
  ASSERT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(16)), std::string(15, 'r'));
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(256)), "");
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(0)), std::string(15, 'r'));
}

TEST_F(StandInReaders, AnOverrunOrFailedListFindsNothing) {
  fake_readers.fill('r');  // no NUL anywhere
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(0)), "");
  fake_readers.fill('\0');
  Fill(3, 4, "abc");
  fake_list_result = tk::kStorageError;
  EXPECT_EQ(brevant::ReaderNameFromNode(api_, KeyNodeId(4)), "");
}

}  // namespace
