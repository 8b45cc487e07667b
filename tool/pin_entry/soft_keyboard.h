// The soft keyboard (dialog 180): an on-screen keyboard shown inside the PIN
// dialog that opens it, its digit and letter keys in a new random order at
// every opening. A clicked key goes through the system's keyboard input
// scrambled, and the PIN field turns it back (secure_edit.h), so that a
// keystroke logger sees other characters. While it is open a thread debug
// hook keeps other threads' keyboard hooks from seeing this thread's keys.
//
// One keyboard at a time, on the user-interface thread.
#pragma once
#include <windows.h>

namespace brevant {

// The PIN dialogs' keyboard button. Not shown: `dialog` grows to hold the
// keyboard and the focus goes to `target`. Shown: the keyboard closes and
// the focus goes to `target`. True when the keyboard is shown afterwards.
bool ToggleSoftKeyboard(HWND dialog, HWND target);
// Closes the keyboard by whatever route (its quit key, its close box, the
// dialog's OK or Cancel): a latched Shift released, the hooks removed, the
// dialog back at the size it had before the keyboard opened.
void CloseSoftKeyboard();
// The keyboard's window while it is shown, else null.
HWND SoftKeyboardWindow();

// What the PIN fields tell the keyboard: the field that got the focus is
// where the keystrokes go; a field losing the focus removes the debug hook,
// one getting it while the keyboard is shown puts it back.
void SetSoftKeyboardTarget(HWND field);
void RemoveKeyboardDebugHook();

}  // namespace brevant
