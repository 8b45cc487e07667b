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

// "IDS_IESET_TRUST" of section "TOOL" in `settings_file`, read whole: the
// one reader of the bank's list for every program. "" without the file, and
// for a value too long to read whole (never a shortened list).
std::string ReadBankSiteList(const std::string& settings_file);

// The bank's sites of the settings file beside `module`; no site without the
// file.
TrustedOrigins LoadTrustedOriginsBeside(HMODULE module);

}  // namespace sites
