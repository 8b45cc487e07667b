#include "brevant_dlg.h"

#include <cstdio>
#include <string>

#include "cached_texts.h"
#include "language.h"
#include "resource.h"
#include "settings.h"
#include "single_instance.h"
#include "key_monitor.h"
#include "small_dialogs.h"
#include "system_tray.h"
#include "text.h"
#include "tool_key_monitor.h"
#include "tool_message_box.h"

namespace brevant {

CBrevantDlg::CBrevantDlg() : Dialog(IDD_BREVANT_DIALOG) {
  // An icon at its own size, from the file shipped beside the program.
  const std::string icon_file = ProgramFolder() + "\\Brevant.ico";
  icon_ = static_cast<HICON>(LoadImageA(nullptr, icon_file.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
}

CBrevantDlg::~CBrevantDlg() {
  if (icon_ != nullptr) DestroyIcon(icon_);
}

void CBrevantDlg::StartUp() {
  LoadDeviceLibrary(SettingsPath().c_str());  // without the library every text is empty: go on
  LoadCachedTexts();
  const SingleInstance instance = ClaimSingleInstance();
  instance_mutex_.reset(instance.mutex);
  bring_to_front_message_ = instance.bring_to_front_message;
  if (instance.another_copy_runs) {
    PostMessageW(HWND_BROADCAST, bring_to_front_message_, 0, 0);
    ExitProcess(0);
  }
}

bool CBrevantDlg::OnInitDialog() {
  StartUp();
  if (icon_ != nullptr) {
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  }
  if (HMENU system_menu = GetSystemMenu(hwnd(), FALSE)) {
    wchar_t about[64] = {};
    if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 64) > 0) {
      AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(system_menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  SetText(CachedText("TOOL_TITLE"));
  PublishMainWindow(hwnd());
  StartKeyMonitor();
  return true;
}

void CBrevantDlg::ShowPopup(const char* text) {
  if (!popup_) popup_ = std::make_unique<CMsnWnd>(CachedText("IDS_HINT"), CachedText("TOOL_TITLE"));
  popup_->ShowMessage(text);
  ShowWindow(popup_->hwnd(), SW_SHOW);
  UpdateWindow(popup_->hwnd());
}

void CBrevantDlg::OnTrayNotify(LPARAM mouse_message) {
  switch (mouse_message) {
    case WM_LBUTTONDBLCLK:
      ShowMainWindow();
      return;
    case WM_RBUTTONUP: {
      const HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
      const HMENU popup = menu != nullptr ? GetSubMenu(menu, 0) : nullptr;
      if (popup != nullptr) {
        // Only the first item is offered.
        static const std::string show_text = LngText("MENU", "IDS_MENU_SHOWTOOL");
        ModifyMenuA(popup, 0, MF_BYPOSITION | MF_STRING, ID_MENU_SHOWTOOL, show_text.c_str());
        DeleteMenu(popup, 2, MF_BYPOSITION);
        DeleteMenu(popup, 1, MF_BYPOSITION);
        POINT cursor = {};
        GetCursorPos(&cursor);
        SetForegroundWindow(hwnd());
        TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, hwnd(), nullptr);
      }
      if (menu != nullptr) DestroyMenu(menu);
      return;
    }
    default:
      return;
  }
}

// Until the key tree and the certificate handling come, an event only shows
// its popup.
void CBrevantDlg::OnKeyPresent(const char* /*reader*/) { ShowPopup(CachedText("KEY_INSERT")); }

void CBrevantDlg::OnKeyRemovedMsg(const char* /*reader*/) { ShowPopup(CachedText("KEY_REMOVE")); }

void CBrevantDlg::ShowMainWindow() {
  // Once someone asks for the window, the start-up hiding is over.
  start_counter_ = 0;
  ShowWindow(hwnd(), SW_SHOWNORMAL);
  SetActiveWindow(hwnd());
  SetForegroundWindow(hwnd());
}

void CBrevantDlg::RunAboutBox() {
  CAboutDlg about;
  about.DoModal(hwnd());
}

void CBrevantDlg::ConfirmExit() {
  char text[256] = {};
  std::snprintf(text, sizeof text, "%s", LngText("MainFrm", "IDS_CONFIRM_EXIT").c_str());
  if (ToolMessageBox(hwnd(), text, MB_YESNO | MB_ICONQUESTION) == IDYES) EndDialog(IDOK);
}

bool CBrevantDlg::PreTranslateMessage(MSG& message) {
  if (message.message == WM_KEYDOWN && (message.wParam == VK_ESCAPE || message.wParam == VK_RETURN)) return true;
  if (bring_to_front_message_ != 0 && message.message == bring_to_front_message_ && message.hwnd == hwnd()) {
    ShowMainWindow();
    return true;
  }
  return false;
}

bool CBrevantDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_NCPAINT:
      if (start_counter_ <= 0) return false;
      --start_counter_;
      HideMainWindow();
      result = 0;
      return true;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == IDM_ABOUTBOX) {
        RunAboutBox();
        result = 0;
        return true;
      }
      if ((wparam & 0xFFF0) == SC_CLOSE) {
        HideMainWindow();
        result = 0;
        return true;
      }
      return false;
    case WM_CLOSE:
      // Hidden first; the dialog manager then ends the dialog as Cancel.
      HideMainWindow();
      return false;
    case WM_HELP:
      result = TRUE;
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(icon_);
      return true;
    case kTrayCallbackMessage:
      OnTrayNotify(lparam);
      result = 0;
      return true;
    case kKeyPresentMessage:
    case kKeyRemovedMessage: {
      const std::unique_ptr<char[]> reader = TakeReaderName(lparam);
      const char* name = reader ? reader.get() : "";
      if (message == kKeyPresentMessage) OnKeyPresent(name);
      else OnKeyRemovedMsg(name);
      result = 0;
      return true;
    }
    case WM_DESTROY:
      StopKeyMonitor();
      return false;
    default:
      return Dialog::OnMessage(message, wparam, lparam, result);
  }
}

bool CBrevantDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case ID_MENU_SHOWTOOL:
    case ID_MENU_SHOW_OLD:
      ShowMainWindow();
      return true;
    case ID_MENU_ABOUT:
      RunAboutBox();
      return true;
    case ID_MENU_EXIT:
      PostMessageW(hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case IDC_HIDE:
      HideMainWindow();
      return true;
    case ID_MENU_CONFIRM_EXIT:
      ConfirmExit();
      return true;
    default:
      return Dialog::OnCommand(id, code, control);
  }
}

}  // namespace brevant
