// The on-screen keyboard of the PIN dialogs (dialog resource 180): digits
// and letters in a new order at every opening, keys sent scrambled so that
// a keystroke logger sees other characters, shown inside the PIN dialog,
// which grows to hold it. One at a time, on the user-interface thread.
#pragma once
#include <windows.h>

namespace brevant {

// The field the keyboard types into; follows the PIN field that gets the
// focus or a click.
void SetSoftKeyboardTarget(HWND field);
HWND SoftKeyboardTarget();

// Shows the keyboard inside `dialog` (growing it) or, when it is shown,
// hides it (the dialog gets its size back); the focus goes to the target.
void ToggleSoftKeyboard(HWND dialog);
// Closes it if it is open (the PIN dialogs' OK and Cancel).
void CloseSoftKeyboard();
bool SoftKeyboardShown();
HWND SoftKeyboardWindow();

}  // namespace brevant
