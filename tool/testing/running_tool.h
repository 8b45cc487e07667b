// A running Brevant.exe for tests that drive it from another process, with
// two keys ready to plug in ("first" and "second", two certificates each,
// their PINs already changed) and the store cleaned of the tool's entries
// before and after.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "browser_standins.h"
#include "cert_store.h"
#include "dialog_driving.h"
#include "scoped_handle.h"
#include "sim_fixture.h"
#include "tool_driver.h"

namespace brevant::testing {

class RunningTool : public ::testing::Test {
 protected:
  static std::string Setting(const char* key) { return ShippedSetting("CSPINFO", key); }
  static int ProviderEntries() { return brevant::testing::ProviderEntries(Setting("CSP_NAME")); }

  void SetUp() override {
    RemoveProviderCerts(Setting("CSP_NAME").c_str(), Setting("SM2_STORE_NAME").c_str());
    for (const char* key : {"first", "second"}) {
      // PIN already changed: no first-use change comes in the way.
      Tokenctl(std::string("create ") + key + " --pin-change-tag 1");
      Import(key, "c1", "sig", "ku-sig");
      Import(key, "c2", "exch", key == std::string("first") ? "ku-nr" : "ku-none");
    }
  }
  void TearDown() override {
    StopTool();
    RemoveProviderCerts(Setting("CSP_NAME").c_str(), Setting("SM2_STORE_NAME").c_str());
  }
  // Closes the tool as the tray menu's exit does; ended if it will not go.
  void StopTool() {
    if (!tool_) return;
    if (const HWND window = FindMainWindow(GetProcessId(tool_.get()))) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(tool_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(tool_.get(), 1);
    WaitForSingleObject(tool_.get(), INFINITE);
    tool_.reset();
  }
  static void Tokenctl(const std::string& arguments) {
    ASSERT_EQ(simtest::Tokenctl(arguments).exit_code, 0u) << arguments;
  }
  static void Import(const char* key, const char* container, const char* spec, const char* cert) {
    Tokenctl(std::string("import-cert ") + key + " --container " + container + " --spec " + spec + " --file \"" +
             simtest::CertFile(cert) + "\"");
  }
  // Starts the tool; its main window once it exists.
  HWND Start() {
    tool_.reset(simtest::StartProcess("\"" + simtest::BinDir() + "\\Brevant.exe\""));
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindMainWindow(GetProcessId(tool_.get()))) != nullptr; });
    return window;
  }
  // Plugs the key `name` in; the popup that tells of it, once shown.
  static HWND PlugIn(const char* name) {
    Tokenctl(std::string("insert ") + name);
    HWND popup = nullptr;
    WaitUntil([&] { return IsWindowVisible(popup = FindWindowW(L"Brevant.MsnWnd", nullptr)) != FALSE; });
    return IsWindowVisible(popup) ? popup : nullptr;
  }
  // Shows the main window with the first key selected.
  static void ShowWithFirstKeySelected(HWND window) {
    PostMessageW(window, WM_COMMAND, ID_MENU_SHOWTOOL, 0);
    WaitUntil([&] { return IsWindowVisible(window) != FALSE; });
    const HWND tree = GetDlgItem(window, IDC_KEY_TREE);
    const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
  }
  // The tool running with the key `name` plugged in and its window shown,
  // the key selected.
  HWND StartWithKey(const char* name) {
    const HWND window = Start();
    if (window == nullptr || PlugIn(name) == nullptr || !ClosePopup()) return nullptr;
    ShowWithFirstKeySelected(window);
    return window;
  }
  // Opens a key dialog with `command` and gives it the keyboard.
  HWND OpenDialog(HWND window, int command, int field) {
    PostMessageW(window, WM_COMMAND, command, 0);
    // The main window's controls share some ids with the dialogs'.
    const HWND dialog = pintest::WaitForDialogWith(field, ToolProcess(), window);
    if (dialog != nullptr) SetForegroundWindow(dialog);
    return dialog;
  }
  DWORD ToolProcess() const { return GetProcessId(tool_.get()); }
  bool ToolRuns() const { return WaitForSingleObject(tool_.get(), 0) == WAIT_TIMEOUT; }

  simtest::SimKeyFolder keys_;
  // The shipped settings open the bank's site for a key with a certificate.
  BrowserStandins browsers_;
  fw::ScopedHandle tool_;
};

}  // namespace brevant::testing
