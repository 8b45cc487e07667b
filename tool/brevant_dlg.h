// The tool's main window: a dialog that starts hidden behind the tray icon.
#pragma once
#include <windows.h>

#include <memory>

#include "dialog.h"
#include "msn_wnd.h"
#include "scoped_handle.h"

namespace brevant {

class CBrevantDlg : public fw::Dialog {
 public:
  CBrevantDlg();
  ~CBrevantDlg() override;
  bool PreTranslateMessage(MSG& message) override;

 protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  // Start-up up to the single-instance check; ends the process when another
  // copy runs.
  void StartUp();
  void ShowMainWindow();
  void HideMainWindow() const { ShowWindow(hwnd(), SW_HIDE); }
  void RunAboutBox();
  void ConfirmExit();
  // Slides the popup up with `text`; the one popup is made on first use.
  void ShowPopup(const char* text);
  void OnTrayNotify(LPARAM mouse_message);
  void OnKeyPresent(const char* reader);
  void OnKeyRemovedMsg(const char* reader);

  HICON icon_ = nullptr;
  fw::ScopedHandle instance_mutex_;  // held until the process ends
  UINT bring_to_front_message_ = 0;
  int start_counter_ = 2;  // WM_NCPAINTs that hide the window at start
  std::unique_ptr<CMsnWnd> popup_;
};

}  // namespace brevant
