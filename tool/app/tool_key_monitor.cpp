#include "tool_key_monitor.h"

#include <string>

#include "browser_integration.h"
#include "cached_texts.h"
#include "cert_store.h"
#include "device_table.h"
#include "key_monitor.h"
#include "scoped_gdi.h"
#include "registered_messages.h"
#include "settings.h"
#include "system_tray.h"

namespace brevant {
namespace {

// Built in as the text "0"; 0 stands for ten seconds.
constexpr UINT kBalloonSeconds = 10;
constexpr UINT kDefaultItemPosition = 1;

class ToolActions : public KeyMonitorActions {
 public:
  void Prepare(HWND main_window) {
    main_window_ = main_window;
    tray_.SetMainWindow(main_window);
  }
  void CreateHiddenWindow() {
    if (!icon_) {
      const std::string file = ProgramFolder() + "\\Brevant.ico";
      icon_.reset(static_cast<HICON>(LoadImageA(nullptr, file.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE)));
    }
    tray_.CreateHiddenWindow(GetModuleHandleW(nullptr));
  }
  void Finish() { tray_.Destroy(); }

  void CreateTrayIcon() override {
    if (!tray_.Create(GetModuleHandleW(nullptr), TrayTip(), icon_.get(), kBalloonSeconds)) return;
    tray_.SetTargetWindow(main_window_);
    tray_.SetDefaultItem(kDefaultItemPosition, true);
    tray_.LoadDefaultItemText();
  }
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
  fw::ScopedIcon icon_;  // kept for the life of the process
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
