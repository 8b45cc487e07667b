// The bank's sites as the settings file shipped beside a program or library
// lists them: the bridge reads the file beside Corvane.exe, the control the
// one beside Kestrine.dll.
#pragma once
#include <windows.h>

#include <string>

#include "site_origin.h"

namespace sites {

inline constexpr char kSettingsFile[] = "RVControl.ini";

// RVControl.ini in the folder of `module` (nullptr: the program), or "" when
// that path does not fit MAX_PATH.
std::string SettingsFileBeside(HMODULE module);

// "IDS_IESET_TRUST" of section "TOOL" in that file; no site without the file.
TrustedOrigins LoadTrustedOriginsBeside(HMODULE module);

}  // namespace sites
