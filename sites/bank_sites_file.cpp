#include "bank_sites_file.h"

#include "module_path.h"
#include "profile_value.h"

namespace sites {
namespace {
// Far more than any bank's list; a longer value is not read at all.
constexpr std::size_t kListLimit = 64 * 1024;

// A ";"-separated address list of section TOOL. A list cut anywhere could
// end in a shortened address, which names another host or page: none of it
// counts.
std::string ReadWholeList(const std::string& settings_file, const char* key) {
  if (settings_file.empty()) return {};
  fw::ProfileValue list = fw::ReadProfileValue(settings_file, "TOOL", key, "", kListLimit);
  return list.whole ? std::move(list.text) : std::string();
}
}  // namespace

std::string SettingsFileBeside(HMODULE module) { return fw::FileBesideModule(module, kSettingsFile); }

std::string ReadBankSiteList(const std::string& settings_file) {
  return ReadWholeList(settings_file, "IDS_IESET_TRUST");
}

std::string SettingsFileOfInstallation(HMODULE module) {
  const std::string beside = SettingsFileBeside(module);
  if (beside.empty() || GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  // "...\x86\RVControl.ini": the module's folder and the one above it.
  const std::size_t name = beside.find_last_of('\\');
  if (name == std::string::npos || name == 0) return beside;
  const std::size_t folder = beside.find_last_of('\\', name - 1);
  if (folder == std::string::npos) return beside;
  const std::string folder_name = beside.substr(folder + 1, name - folder - 1);
  if (lstrcmpiA(folder_name.c_str(), k32BitFolder) != 0) return beside;
  return beside.substr(0, folder + 1) + kSettingsFile;
}

std::string ReadIeModePages(const std::string& settings_file) {
  return ReadWholeList(settings_file, "IDS_IEMODE_PAGES");
}

TrustedOrigins LoadTrustedOriginsBeside(HMODULE module) {
  return TrustedOrigins(ReadBankSiteList(SettingsFileBeside(module)));
}

}  // namespace sites
