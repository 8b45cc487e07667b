// Driving the tool's dialogs from a second thread or another process the way a user does: finding
// the dialog, typing, pressing OK, answering message boxes.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <initializer_list>
#include <string>

namespace pintest {

constexpr int kMessageBoxText = 0xFFFF;  // the static of a system message box

// A visible top-level window of `process` holding one of `ids`, or null;
// `except` is never the one (a window whose controls share the ids).
inline HWND FindDialogWith(std::initializer_list<int> ids, DWORD process_id = GetCurrentProcessId(),
                           HWND except = nullptr) {
  struct Search {
    std::initializer_list<int> ids;
    DWORD process;
    HWND except;
    HWND found;
  } search = {ids, process_id, except, nullptr};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& wanted = *reinterpret_cast<Search*>(context);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != wanted.process || window == wanted.except || !IsWindowVisible(window)) return TRUE;
        for (const int id : wanted.ids) {
          if (GetDlgItem(window, id) == nullptr) continue;
          wanted.found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The same, waited for 10 s.
inline HWND WaitForDialogWith(int id, DWORD process_id = GetCurrentProcessId(), HWND except = nullptr) {
  for (int i = 0; i < 1000; ++i) {
    if (const HWND found = FindDialogWith({id}, process_id, except)) return found;
    Sleep(10);
  }
  return nullptr;
}

// Waited for until `stop` is set or 10 s have passed.
inline HWND FindDialogWithAny(std::initializer_list<int> ids, const std::atomic<bool>& stop) {
  for (int i = 0; i < 1000 && !stop; ++i) {
    if (const HWND found = FindDialogWith(ids)) return found;
    Sleep(10);
  }
  return nullptr;
}

// True once `window` is hidden or destroyed, within 10 s.
inline bool WaitUntilGone(HWND window) {
  for (int i = 0; i < 1000; ++i) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return true;
    Sleep(10);
  }
  return false;
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
  WaitUntilGone(box);
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
