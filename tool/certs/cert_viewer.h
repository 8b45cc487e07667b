// The system's certificate viewer, loaded when it is needed.
#pragma once
#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace brevant {

// Shows `cert` modally over `owner` with `title`; false when the viewer
// cannot be loaded.
bool ViewCertDialog(HWND owner, PCCERT_CONTEXT cert, const std::string& title);

}  // namespace brevant
