// The key information dialog's computer texts and key type, from plain
// values: the operating system (registry values and the process's WOW64
// state), the browser version, the language-file key of a key type.
#pragma once
#include <string>

namespace brevant {

// "ProductName CurrentVersion CSDVersion" (empty values left out), then
// " (64" on a 64-bit Windows or " (32", `after` ("IDS_OS_AFTER") and ")".
std::string OperatingSystemText(const std::string& product, const std::string& version, const std::string& csd,
                                bool wow64, const std::string& after);

// "IE " and the version ("svcVersion", else "Version") cut before its
// second "."; a version with fewer than two dots gives "IE " alone.
std::string BrowserText(const std::string& svc_version, const std::string& version);

// The "DeviceInfoPage" key naming a key type (a failed query counts as type
// 4, unknown); null for any other value, whose cell stays empty.
const char* KeyTypeTextKey(unsigned long type);

}  // namespace brevant
