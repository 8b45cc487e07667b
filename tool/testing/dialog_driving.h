// Driving the tool's dialogs from a second thread or another process the way a user does: finding
// the dialog, typing, pressing OK, answering message boxes.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <string>

namespace pintest {

constexpr int kMessageBoxText = 0xFFFF;  // the static of a system message box

// A visible window of `process` (default: this one) holding control `id`,
// waited for 10 s.
inline HWND WaitForDialogWith(int id, DWORD process_id = GetCurrentProcessId()) {
  struct Search {
    int id;
    DWORD process;
    HWND found;
  } search = {id, process_id, nullptr};
  for (int i = 0; i < 1000 && search.found == nullptr; ++i) {
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
          auto& wanted = *reinterpret_cast<Search*>(context);
          DWORD process = 0;
          GetWindowThreadProcessId(window, &process);
          if (process != wanted.process || !IsWindowVisible(window) || GetDlgItem(window, wanted.id) == nullptr)
            return TRUE;
          wanted.found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(10);
  }
  return search.found;
}

inline std::string TextOf(HWND window) {
  char text[1024] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// Answers the next message box with `button`; its text.
inline std::string AnswerMessageBox(int button = IDOK, DWORD process_id = GetCurrentProcessId()) {
  const HWND box = WaitForDialogWith(kMessageBoxText, process_id);
  if (box == nullptr) return "<no message box>";
  const std::string text = TextOf(GetDlgItem(box, kMessageBoxText));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  while (IsWindow(box) && IsWindowVisible(box)) Sleep(10);
  return text;
}

// Screenshots: with BREVANT_TEST_LINGER_MS set, the pointer rests on
// `field` that long, so that its tooltip comes up and can be captured.
inline void LingerForScreenshot(HWND field) {
  const char* ms = std::getenv("BREVANT_TEST_LINGER_MS");
  if (ms == nullptr) return;
  RECT place = {};
  GetWindowRect(field, &place);
  SetCursorPos(place.left + 20, (place.top + place.bottom) / 2);
  Sleep(static_cast<DWORD>(std::atoi(ms)));
}

inline void Type(HWND dialog, int field, const char* text) {
  for (const char* c = text; *c != '\0'; ++c) SendMessageW(GetDlgItem(dialog, field), WM_CHAR, *c, 0);
}

// Presses OK without waiting: what it opens must be answered first.
inline void PressOk(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

}  // namespace pintest
