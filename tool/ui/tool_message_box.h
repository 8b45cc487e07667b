// Every message box of the tool carries the tool's title as its caption.
#pragma once
#include <windows.h>

#include <string>

namespace brevant {

int ToolMessageBox(HWND owner, const std::string& text, UINT type);

}  // namespace brevant
