// The messages after the key refused a PIN, shared by the PIN and label
// dialogs' flows.
#pragma once
#include <windows.h>

namespace brevant {

// "Wrong PIN, n tries left. Try again?" with OK and Cancel: true for OK.
bool AskPinRetry(HWND owner, BYTE retries_left);
// The warning that the next wrong PIN locks the key.
void WarnLastPinTry(HWND owner);
// The key refuses: its PIN is locked.
void TellPinLocked(HWND owner);

}  // namespace brevant
