// Support for tests and benchmarks that drive a running Brevant.exe from
// another process, as an accessibility tool would, and read back the store.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "resource.h"
#include "scoped_crypt.h"
#include "sim_fixture.h"
#include "text.h"

namespace brevant::testing {

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeout_ms = 10000) {
  const ULONGLONG start = GetTickCount64();
  while (!condition()) {
    if (GetTickCount64() - start > timeout_ms) return false;
    Sleep(5);
  }
  return true;
}

// A value of the shipped RVControl.ini.
inline std::string ShippedSetting(const char* section, const char* key) {
  char text[260] = {};
  GetPrivateProfileStringA(section, key, "", text, sizeof text, (simtest::BinDir() + "\\RVControl.ini").c_str());
  return text;
}

// Entries of `provider` in the user's store `store_name`.
inline int ProviderEntries(const std::string& provider, const wchar_t* store_name = L"MY") {
  const std::wstring wide = fw::AnsiToWide(provider);
  const fw::ScopedCertStore store(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, store_name));
  int count = 0;
  for (PCCERT_CONTEXT cert = nullptr; store && (cert = CertEnumCertificatesInStore(store.get(), cert)) != nullptr;) {
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) continue;
    std::vector<BYTE> bytes(size);
    if (!CertGetCertificateContextProperty(cert, CERT_KEY_PROV_INFO_PROP_ID, bytes.data(), &size)) continue;
    const auto& info = *reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(bytes.data());
    count += info.pwszProvName != nullptr && wide == info.pwszProvName;
  }
  return count;
}

// The tool's main window: the dialog of the process that holds the key tree.
inline HWND FindMainWindow(DWORD process) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && GetDlgItem(window, IDC_KEY_TREE) != nullptr) return window;
  }
  return nullptr;
}

inline int TreeNodes(HWND window) {
  return static_cast<int>(SendMessageW(GetDlgItem(window, IDC_KEY_TREE), TVM_GETCOUNT, 0, 0));
}

// The shell's tray as Wine shows it: one window per icon.
inline int TrayIconCount() {
  const HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  int count = 0;
  for (HWND icon = nullptr; (icon = FindWindowExW(tray, icon, L"__winex11_tray_icon", nullptr)) != nullptr;)
    count += IsWindowVisible(icon) ? 1 : 0;
  return tray != nullptr && IsWindowVisible(tray) ? count : 0;
}

// Clicks the popup away. Replacing a popup that has the focus waits for the
// X server here, which would make the window late for the next event.
inline bool ClosePopup() {
  return WaitUntil([] {
    const HWND popup = FindWindowW(L"Brevant.MsnWnd", nullptr);
    if (popup != nullptr && IsWindowVisible(popup)) PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    return popup == nullptr;
  });
}

}  // namespace brevant::testing
