// The tool's small dialogs: a topmost message box with the language file's
// button texts, the invisible owner of message boxes shown while the main
// window is hidden, and the about box.
#pragma once
#include <string>

#include "dialog.h"

namespace brevant {

class CDlgMsgBox : public fw::Dialog {
 public:
  enum Mode { kOkOnly = 0, kOkCancel = 1 };
  explicit CDlgMsgBox(HWND parent = nullptr);
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  void SetMessageText(std::string text) { text_ = std::move(text); }
  void SetMode(Mode mode) { mode_ = mode; }
  INT_PTR Run() { return DoModal(parent_); }

 protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  HWND parent_;
  std::string caption_, text_;
  Mode mode_ = kOkOnly;
};

// Never shown: made topmost so that a message box it owns comes up above
// other programs' windows.
class HiddenDLG : public fw::Dialog {
 public:
  HiddenDLG();
  bool CreateTopmost();
};

class CAboutDlg : public fw::Dialog {
 public:
  CAboutDlg();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  std::string bank_name_, bank_url_, bank_phone_;
};

}  // namespace brevant
