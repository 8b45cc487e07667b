// The control's own PIN dialog (resource 202).
#pragma once
#include <windows.h>

#include <string>

namespace kestrine {

// Shows the dialog modally. Confirmed: true, the field's text in `pin`.
// Cancelled or closed: false, `pin` untouched.
bool AskForPin(HWND owner, std::string& pin);

}  // namespace kestrine
