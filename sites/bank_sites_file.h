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

// "IDS_IEMODE_PAGES" of section "TOOL" in `settings_file`: the bank's pages
// that host the key control in Edge's IE mode. Read whole as the bank's
// list is: "" without the file, and for a value too long to read whole.
std::string ReadIeModePages(const std::string& settings_file);

// The bank's sites of the settings file beside `module`; no site without the
// file.
TrustedOrigins LoadTrustedOriginsBeside(HMODULE module);

// The installation keeps the 32-bit key control in a folder of its own,
// "x86", below the installation folder. A module there without a settings
// file of its own follows the installation's, one folder up: one file for
// both controls, so a bank's edit reaches both. Elsewhere the file beside
// `module`, as SettingsFileBeside.
inline constexpr char k32BitFolder[] = "x86";
std::string SettingsFileOfInstallation(HMODULE module);

}  // namespace sites
