#include "bank_sites_file.h"

#include "module_path.h"
#include "profile_value.h"

namespace sites {
namespace {
// Far more than any bank's list; a longer value is not read at all.
constexpr std::size_t kListLimit = 64 * 1024;
}  // namespace

std::string SettingsFileBeside(HMODULE module) { return fw::FileBesideModule(module, kSettingsFile); }

std::string ReadBankSiteList(const std::string& settings_file) {
  if (settings_file.empty()) return {};
  fw::ProfileValue list = fw::ReadProfileValue(settings_file, "TOOL", "IDS_IESET_TRUST", "", kListLimit);
  // A list cut anywhere could end in a shortened address, which names
  // another host: none of it counts.
  return list.whole ? std::move(list.text) : std::string();
}

TrustedOrigins LoadTrustedOriginsBeside(HMODULE module) {
  return TrustedOrigins(ReadBankSiteList(SettingsFileBeside(module)));
}

}  // namespace sites
