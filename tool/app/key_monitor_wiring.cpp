#include "key_monitor_wiring.h"

#include "browser_integration.h"
#include "cached_texts.h"
#include "cert_store.h"
#include "device_table.h"
#include "key_monitor.h"
#include "main_window_messages.h"
#include "system_tray.h"

namespace brevant {
namespace {

class ToolActions : public KeyMonitorActions {
 public:
  void Prepare(HWND main_window) {
    main_window_ = main_window;
    tray_.SetMainWindow(main_window);
  }
  void CreateHiddenWindow() {
    tray_.LoadProgramIcon();
    tray_.CreateHiddenWindow();
  }
  void Finish() { tray_.Destroy(); }

  void CreateTrayIcon() override { tray_.CreateToolIcon(); }
  void RemoveTrayIcon() override { tray_.RemoveIcon(); }
  void PostToMainWindow(UINT message, WPARAM wparam, const char* reader) override {
    if (main_window_ == nullptr) return;
    const LPARAM ticket = reader != nullptr ? MailReaderName(reader) : 0;
    if (!PostMessageA(main_window_, message, wparam, ticket)) TakeReaderName(ticket);
  }
  void Pause(DWORD ms) override { Sleep(ms); }
  void HandleLastRemovalInBrowser() override { FindBankWindowsOnLastRemoval(); }
  void ClearSslCache() override { brevant::ClearSslCache(); }
  void RemoveProviderCerts() override {
    brevant::RemoveProviderCerts(CspInfo("CSP_NAME"), CspInfo("SM2_STORE_NAME"));
  }
  void RefreshRemainingKeys() override {
    if (main_window_ != nullptr) PostMessageW(main_window_, CertsChangedMessage(), kRefreshTree, 0);
  }

 private:
  HWND main_window_ = nullptr;
  MySystemTray tray_;
};

ToolActions& Actions() {
  static ToolActions actions;
  return actions;
}

KeyMonitor& Monitor() {
  static KeyMonitor monitor(DeviceTable(), Actions());
  return monitor;
}

}  // namespace

void PublishMainWindow(HWND window) { Actions().Prepare(window); }

void StartKeyMonitor() {
  Actions().CreateHiddenWindow();
  Monitor().Start();
}

void StopKeyMonitor() {
  Monitor().Stop();
  Actions().Finish();
}

int PresentKeyCount() { return Monitor().present_count(); }

bool TakeArrivalFlag() { return Monitor().TakeArrivalFlag(); }

}  // namespace brevant
