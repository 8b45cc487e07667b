// Drives the control's PIN dialog from another thread, as a person would:
// waits for the window, types into the PIN field and presses a button.
#pragma once
#include <windows.h>

#include <string>
#include <thread>

struct DialogSeen {
  bool found = false;
  bool focus_on_pin = false;
  std::wstring caption, label, ok_text, cancel_text;
};

// Presses `button` (IDOK or IDCANCEL) after typing `pin` (when not empty).
inline std::thread DriveVerifyDialog(DialogSeen& seen, std::wstring pin, int button) {
  return std::thread([&seen, pin, button] {
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && dialog == nullptr; ++i) {
      dialog = FindWindowW(L"#32770", L"\x7ba1\x7406\x5458PIN\x7801\x6821\x9a8c");  // 管理员PIN码校验
      if (dialog == nullptr) Sleep(25);
    }
    if (dialog == nullptr) return;
    seen.found = true;
    wchar_t text[128] = {};
    GetWindowTextW(dialog, text, 128);
    seen.caption = text;
    HWND label = FindWindowExW(dialog, nullptr, L"Static", nullptr);
    GetWindowTextW(label, text, 128);
    seen.label = text;
    GetDlgItemTextW(dialog, IDOK, text, 128);
    seen.ok_text = text;
    GetDlgItemTextW(dialog, IDCANCEL, text, 128);
    seen.cancel_text = text;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info))
      seen.focus_on_pin = info.hwndFocus == GetDlgItem(dialog, 203);
    if (!pin.empty()) SendDlgItemMessageW(dialog, 203, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pin.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
  });
}

inline bool HaveDisplay() {
  char display[64] = {};
  return GetEnvironmentVariableA("DISPLAY", display, sizeof display) > 0;
}
