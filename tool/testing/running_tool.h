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
    if (tool_) {
      if (const HWND window = FindMainWindow(GetProcessId(tool_.get()))) PostMessageW(window, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(tool_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(tool_.get(), 1);
    }
    RemoveProviderCerts(Setting("CSP_NAME").c_str(), Setting("SM2_STORE_NAME").c_str());
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
  DWORD ToolProcess() const { return GetProcessId(tool_.get()); }
  bool ToolRuns() const { return WaitForSingleObject(tool_.get(), 0) == WAIT_TIMEOUT; }

  simtest::SimKeyFolder keys_;
  // The shipped settings open the bank's site for a key with a certificate.
  BrowserStandins browsers_;
  fw::ScopedHandle tool_;
};

}  // namespace brevant::testing
