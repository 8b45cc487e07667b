// Brevant.exe running, keys with certificates plugged in and pulled out with
// tokenctl: the tree, the store entries of the tool's provider, the window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "cert_store.h"
#include "resource.h"
#include "scoped_crypt.h"
#include "scoped_handle.h"
#include "sim_fixture.h"
#include "text.h"

namespace {

std::string Setting(const char* key) {
  char text[260] = {};
  GetPrivateProfileStringA("CSPINFO", key, "", text, sizeof text, (simtest::BinDir() + "\\RVControl.ini").c_str());
  return text;
}

// Entries of the tool's provider in the user's personal store.
int ProviderEntries() {
  const std::wstring provider = fw::AnsiToWide(Setting("CSP_NAME"));
  const fw::ScopedCertStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"MY"));
  int count = 0;
  for (PCCERT_CONTEXT cert = nullptr; (cert = CertEnumCertificatesInStore(store.get(), cert)) != nullptr;) {
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) continue;
    std::string bytes(size, '\0');
    CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, bytes.data(), &size);
    const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
    count += info.pwszProvName != nullptr && provider == info.pwszProvName;
  }
  return count;
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeout_ms = 10000) {
  for (DWORD waited = 0; waited < timeout_ms; waited += 50) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}

HWND FindMainWindow(DWORD process) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && GetDlgItem(window, IDC_KEY_TREE) != nullptr) return window;
  }
  return nullptr;
}

int TreeNodes(HWND window) { return static_cast<int>(SendMessageW(GetDlgItem(window, IDC_KEY_TREE), TVM_GETCOUNT, 0, 0)); }

class CertFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    brevant::RemoveProviderCerts(Setting("CSP_NAME").c_str(), Setting("SM2_STORE_NAME").c_str());
    for (const char* key : {"first", "second"}) {
      Tokenctl(std::string("create ") + key);
      Import(key, "c1", "sig", "ku-sig");
      Import(key, "c2", "exch", key == std::string("first") ? "ku-nr" : "ku-none");
    }
  }
  void TearDown() override {
    if (tool_) {
      if (const HWND window = FindMainWindow(GetProcessId(tool_.get()))) PostMessageW(window, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(tool_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(tool_.get(), 1);
    }
    brevant::RemoveProviderCerts(Setting("CSP_NAME").c_str(), Setting("SM2_STORE_NAME").c_str());
  }
  static void Tokenctl(const std::string& arguments) { ASSERT_EQ(simtest::Tokenctl(arguments).exit_code, 0u) << arguments; }
  static void Import(const char* key, const char* container, const char* spec, const char* cert) {
    Tokenctl(std::string("import-cert ") + key + " --container " + container + " --spec " + spec + " --file \"" +
             simtest::CertFile(cert) + "\"");
  }
  HWND Start() {
    tool_.reset(simtest::StartProcess("\"" + simtest::BinDir() + "\\Brevant.exe\""));
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindMainWindow(GetProcessId(tool_.get()))) != nullptr; });
    return window;
  }

  simtest::SimKeyFolder keys_;
  fw::ScopedHandle tool_;
};

TEST_F(CertFlow, CertificatesComeWithTheKeyAndGoWithIt) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(TreeNodes(window), 1) << "the no-key placeholder";
  Tokenctl("insert first");
  EXPECT_TRUE(WaitUntil([&] { return TreeNodes(window) == 3; })) << "the key and its two certificates";
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 2; }));
  Tokenctl("remove first");
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 0; }));
  EXPECT_TRUE(WaitUntil([&] { return TreeNodes(window) == 1; }));
}

TEST_F(CertFlow, PullingOneOfTwoKeysLeavesTheOthersCertificatesInTheStore) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  Tokenctl("insert first");
  Tokenctl("insert second");
  // ku-sig is on both keys: one store entry per container name, so three.
  ASSERT_TRUE(WaitUntil([] { return ProviderEntries() == 3; })) << ProviderEntries();
  // Without a popup to replace, the window handles the removal at once, as
  // it does on a desktop (here, replacing a popup that has the focus waits
  // for the X server, which makes the window late).
  ASSERT_TRUE(WaitUntil([] {
    const HWND popup = FindWindowW(L"Brevant.MsnWnd", nullptr);
    if (popup != nullptr && IsWindowVisible(popup)) PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    return popup == nullptr;
  }));
  Tokenctl("remove first");
  Sleep(1500);  // the removal's pauses and the refresh after them
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 2; })) << ProviderEntries();
  EXPECT_EQ(TreeNodes(window), 3);
}

}  // namespace
