// The key tree built in a real tree control from keys of the software token,
// with the certificates' store entries, details and insertion notices.
#include "cert_tree.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "cert_store.h"
#include "key_tree_control.h"
#include "scoped_crypt.h"
#include "text.h"
#include "token_test_base.h"

namespace {

using brevant::CertTree;

constexpr char kProvider[] = "Brevant Tree Test CSP";

std::string Lookup(const char* section, const char* key) { return std::string(section) + "/" + key; }

class RecordingList : public brevant::DetailsList {
 public:
  void Clear() override { rows.clear(); }
  void AddRow(const std::string& caption, const std::string& value) override { rows.emplace_back(caption, value); }
  std::vector<std::pair<std::string, std::string>> rows;
};

std::size_t ProviderEntries() {
  const fw::ScopedCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"MY"));
  std::size_t count = 0;
  for (PCCERT_CONTEXT cert = nullptr; (cert = CertEnumCertificatesInStore(store.get(), cert)) != nullptr;) {
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) continue;
    std::vector<BYTE> bytes(size);
    CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, bytes.data(), &size);
    const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
    count += info.pwszProvName != nullptr && fw::WideToAnsi(info.pwszProvName) == kProvider;
  }
  return count;
}

class KeyTree : public TokenTest {
 protected:
  void SetUp() override {
    TokenTest::SetUp();
    InitCommonControls();
    window_ = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    control_.Attach(window_);
  }
  void TearDown() override {
    brevant::RemoveProviderCerts(kProvider, "");
    DestroyWindow(window_);
    TokenTest::TearDown();
  }
  static void Tokenctl(const std::string& arguments) { ASSERT_EQ(simtest::Tokenctl(arguments).exit_code, 0u) << arguments; }
  static void Import(const char* key, const char* container, const char* spec, const char* cert) {
    Tokenctl(std::string("import-cert ") + key + " --container " + container + " --spec " + spec + " --file \"" +
             simtest::CertFile(cert) + "\"");
  }
  // Node texts, children indented.
  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (HTREEITEM key = control_.FirstRootNode(); key; key = control_.NextSiblingNode(key)) {
      shown.push_back(control_.NodeText(key));
      for (HTREEITEM cert = control_.FirstChildNode(key); cert; cert = control_.NextSiblingNode(cert))
        shown.push_back("  " + control_.NodeText(cert));
    }
    return shown;
  }

  simtest::SimKeyFolder keys_;
  HWND window_ = nullptr;
  brevant::KeyTreeControl control_;
  brevant::KeyRecordMap records_;
  CertTree tree_{api_, control_, records_, {kProvider, ""}, &Lookup};
};

TEST_F(KeyTree, PlaceholdersForNoKeyAndForAKeyWithoutCertificates) {
  EXPECT_EQ(tree_.RefreshKeyTree(), 0);
  EXPECT_EQ(Shown(), std::vector<std::string>{"CERTLIST/CERT_NO_KEY"});
  Tokenctl("create empty --label Empty");
  Tokenctl("insert empty");
  tree_.RefreshKeyTree();
  EXPECT_EQ(Shown(), std::vector<std::string>{"CERTLIST/CERT_NO_CERT"});
  EXPECT_EQ(tree_.InsertionNoticeFor("Quillon Tarnex UDISK 0", brevant::KeyDateTime{2026, 6, 0, 1}),
            "TOOL/KEY_INSERT");
}

TEST_F(KeyTree, OneNodePerCertificateSignatureFirstEachRegistered) {
  Tokenctl("create alice --label Alice");
  Import("alice", "c1", "exch", "ku-nr");
  Import("alice", "c1", "sig", "ku-sig");
  Import("alice", "c2", "sig", "serial-01a20f");
  Tokenctl("insert alice");
  ASSERT_EQ(tree_.RefreshKeyTree(), 0);

  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0], "Alice");
  const HTREEITEM key = control_.FirstRootNode();
  const HTREEITEM first = control_.FirstChildNode(key), second = control_.NextSiblingNode(first);
  const HTREEITEM third = control_.NextSiblingNode(second);
  EXPECT_EQ(control_.NodeId(key), brevant::KeyNodeId(0));
  EXPECT_EQ(control_.NodeId(first), brevant::CertNodeId(0, 2)) << "signature before exchange";
  EXPECT_EQ(control_.NodeId(second), brevant::CertNodeId(0, 1));
  EXPECT_EQ(control_.NodeId(third), brevant::CertNodeId(1, 2));
  EXPECT_NE(shown[1].find("' s  Vesbank Test CA  ID"), std::string::npos) << shown[1];
  EXPECT_EQ(ProviderEntries(), 3u);

  const brevant::KeyRecord& record = records_.at("Quillon Tarnex UDISK 0");
  EXPECT_EQ(record.containers[0], "c1");
  EXPECT_EQ(record.containers[1], "c2");
  EXPECT_NE(record.valid_to[1].year, 0);

  control_.SelectNode(third);
  RecordingList list;
  tree_.ShowCertDetails(third, list);
  ASSERT_EQ(list.rows.size(), 3u);
  EXPECT_EQ(list.rows[1], std::make_pair(std::string("TOOL/LIST_CTL_CERT_CONTAINER_NAME"), std::string("c2")));
  EXPECT_EQ(list.rows[2], std::make_pair(std::string("TOOL/LIST_CTL_CERT_SERIAL"), std::string("01A20F")));

  control_.SelectNode(key);
  EXPECT_TRUE(tree_.SelectedCertificate().has_value()) << "found below the key node";
}

TEST_F(KeyTree, InsertionNoticeTellsOfACertificateRunningOut) {
  Tokenctl("create bob --label Bob");
  Import("bob", "c1", "sig", "expires-5d");
  Tokenctl("insert bob");
  tree_.RefreshKeyTree();
  const brevant::KeyRecord& record = records_.at("Quillon Tarnex UDISK 0");
  const brevant::KeyDateTime now = record.valid_to[0];  // the last moment: expires today
  EXPECT_NE(tree_.InsertionNoticeFor("Quillon Tarnex UDISK 0", now).find("CERTINFO/CERT_OUTTIME_TODAY"),
            std::string::npos);
  EXPECT_EQ(brevant::SerialText(reinterpret_cast<const BYTE*>("\x0F\xA2\x01"), 3), "01A20F");
}

}  // namespace
