#include "trusted_sites.h"

#include <windows.h>

#include "console.h"
#include "module_path.h"

namespace corvane {
namespace {
constexpr char kSettingsFile[] = "RVControl.ini";
// The tray tool reads the same list into a buffer of this size.
constexpr DWORD kListBuffer = 1024;
}  // namespace

TrustedOrigins LoadTrustedOrigins() {
  const std::string path = fw::FileBesideModule(nullptr, kSettingsFile);
  char list[kListBuffer] = {};
  if (!path.empty()) GetPrivateProfileStringA("TOOL", "IDS_IESET_TRUST", "", list, kListBuffer, path.c_str());
  return TrustedOrigins(list);
}

void TraceTrustedOrigins(const TrustedOrigins& trusted) {
  if (trusted.origins().empty()) {
    const std::string path = fw::FileBesideModule(nullptr, kSettingsFile);
    WriteOut("no bank site in IDS_IESET_TRUST of " + (path.empty() ? std::string(kSettingsFile) : path) +
             ": KeyInit and esKeyUnblockUsrPin are refused to every page\n");
  } else {
    std::string line = "KeyInit and esKeyUnblockUsrPin are served to programs and to";
    for (const std::string& origin : trusted.origins()) line += " " + origin;
    WriteOut(line + "\n");
  }
}

}  // namespace corvane
