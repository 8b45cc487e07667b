#include "small_dialogs.h"

#include "cached_texts.h"
#include "language.h"
#include "resource.h"

namespace brevant {
namespace {

// Message box layout, client pixels.
constexpr int kButtonWidth = 75, kButtonHeight = 21, kButtonTop = 60;
constexpr int kSingleOkLeft = 160, kPairOkLeft = 120, kPairCancelLeft = 200;
constexpr int kDialogWidth = 400, kDialogHeight = 120;

}  // namespace

CDlgMsgBox::CDlgMsgBox(HWND parent) : Dialog(IDD_MSGBOX), parent_(parent) {}

bool CDlgMsgBox::OnInitDialog() {
  SetItemText(IDC_MSGBOX_TEXT, text_);
  SetText(caption_);
  SetItemText(IDOK, LngText("TOOL", "BUT_IDOK"));
  SetItemText(IDCANCEL, LngText("TOOL", "BUT_IDCANCEL"));
  if (mode_ == kOkCancel) {
    MoveItem(IDOK, kPairOkLeft, kButtonTop, kButtonWidth, kButtonHeight);
    MoveItem(IDCANCEL, kPairCancelLeft, kButtonTop, kButtonWidth, kButtonHeight);
    ShowItem(IDCANCEL, true);
  } else {
    MoveItem(IDOK, kSingleOkLeft, kButtonTop, kButtonWidth, kButtonHeight);
    ShowItem(IDCANCEL, false);
  }
  MoveItem(IDC_MSGBOX_TEXT, 0, 15, 396, 30);
  SetWindowSize(kDialogWidth, kDialogHeight);
  CenterWindow();
  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetActiveWindow(hwnd());
  SetForegroundWindow(hwnd());
  return true;
}

bool CDlgMsgBox::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_HELP) {
    result = TRUE;
    return true;
  }
  return Dialog::OnMessage(message, wparam, lparam, result);
}

HiddenDLG::HiddenDLG() : Dialog(IDD_HIDDEN) {}

bool HiddenDLG::CreateTopmost() {
  if (!CreateModeless(nullptr)) return false;
  SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return true;
}

CAboutDlg::CAboutDlg()
    : Dialog(IDD_ABOUTBOX),
      bank_name_(CachedText("ABOUTDLG_BANKNAME")),
      bank_url_(CachedText("ABOUTDLG_BANKURL")),
      bank_phone_(CachedText("ABOUTDLG_BANKPHONE")) {}

bool CAboutDlg::OnInitDialog() {
  SetItemText(IDC_ABOUT_BANK, bank_name_);
  SetItemText(IDC_ABOUT_URL, bank_url_);
  SetItemText(IDC_ABOUT_PHONE, bank_phone_);
  SetItemText(IDC_ABOUT_OK, LngText("TOOL", "BUT_IDOK"));
  SetText(LngText("TOOL", "ABOUT_DLG_TITLE"));
  for (const int id : {IDC_ABOUT_BANK, IDC_ABOUT_URL, IDC_ABOUT_PHONE}) ShowItem(id, true);
  CenterWindow();
  return true;
}

bool CAboutDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDC_ABOUT_OK) {
    EndDialog(IDOK);
    return true;
  }
  return Dialog::OnCommand(id, code, control);
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_HELP) {
    result = TRUE;
    return true;
  }
  return Dialog::OnMessage(message, wparam, lparam, result);
}

}  // namespace brevant
