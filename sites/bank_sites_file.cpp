#include "bank_sites_file.h"

#include "module_path.h"

namespace sites {
namespace {
// The tray tool reads the same list into a buffer of this size.
constexpr DWORD kListBuffer = 1024;
}  // namespace

std::string SettingsFileBeside(HMODULE module) { return fw::FileBesideModule(module, kSettingsFile); }

TrustedOrigins LoadTrustedOriginsBeside(HMODULE module) {
  const std::string path = SettingsFileBeside(module);
  char list[kListBuffer] = {};
  if (!path.empty()) GetPrivateProfileStringA("TOOL", "IDS_IESET_TRUST", "", list, kListBuffer, path.c_str());
  return TrustedOrigins(list);
}

}  // namespace sites
