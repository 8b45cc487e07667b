// Dialogs from template resources of this module (the program's, or the
// DLL's for a DLL), modal or modeless. Modal dialogs run our own loop: the
// owner is disabled, each message is first offered to the thread's message
// filters (the active dialogs' PreTranslateMessage), then to the dialog
// manager, then dispatched.
#pragma once
#include <windows.h>

#include <string>

#include "message_filter.h"
#include "window.h"

namespace fw {

class Dialog : public Window, public MessageFilter {
 public:
  explicit Dialog(UINT template_id) : template_id_(template_id) {}

  // Runs the dialog until EndDialog; its result, or -1 when the dialog could
  // not be made.
  INT_PTR DoModal(HWND owner = nullptr);
  // A modeless dialog; it lives until EndDialog or Destroy.
  bool CreateModeless(HWND owner = nullptr);
  // Ends the dialog with `result`: a modal loop returns it, a modeless
  // dialog is destroyed at once.
  void EndDialog(INT_PTR result);
  bool ended() const { return ended_; }
  INT_PTR result() const { return result_; }

  HWND Item(int id) const { return GetDlgItem(hwnd(), id); }
  std::string ItemText(int id) const { return WindowTextOf(Item(id)); }
  void SetItemText(int id, const std::string& text) const { SetDlgItemTextA(hwnd(), id, text.c_str()); }
  void ShowItem(int id, bool show) const { ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }
  // Places a control in client pixels.
  void MoveItem(int id, int x, int y, int width, int height) const {
    MoveWindow(Item(id), x, y, width, height, TRUE);
  }
  // Sizes the dialog window in pixels, keeping its place.
  void SetWindowSize(int width, int height) const {
    SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // Offered every message of the thread while this dialog's modal loop (or
  // one nested in it) runs; true swallows it.
  bool PreTranslateMessage(MSG& /*message*/) override { return false; }

 protected:
  // True gives the focus to the default control.
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  bool OnCommand(int id, int code, HWND control) override;
  // Unhandled messages go to the dialog manager.
  LRESULT DefaultHandling(UINT, WPARAM, LPARAM) override { return 0; }

 private:
  friend INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
  HWND CreateFromTemplate(HWND owner);

  UINT template_id_;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = 0;
};

}  // namespace fw
