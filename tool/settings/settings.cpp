#include "settings.h"

#include "device_table.h"
#include "settings_copy.h"
#include "language.h"
#include "module_path.h"

namespace brevant {
namespace {

constexpr char kDefaultKeyInsertUrl[] = "https://ebank.vesbank.example/";

ToolSettings& MutableSettings() {
  static ToolSettings settings;
  return settings;
}

ToolSettings ReadToolSettings(const CIni& ini) {
  ToolSettings s;
  s.user_pin_retry_num = ini.GetInt("TOOL", "USER_PIN_RETRY_NUM", "16");
  s.is_key_insert_url = ini.GetInt("TOOL", "IS_KEY_INSRT_URL", "0");
  s.is_open_pin_cache = ini.GetInt("TOOL", "IS_OPEN_PINCACHE", "0");
  s.need_check_cert_when_open_url = ini.GetInt("TOOL", "IDS_NEED_CHECKCERT_WHENOPENURL", "0");
  s.if_show_dlg_plmv = ini.GetInt("TOOL", "IDS_IFSHOWDLG_PLMV", "1");
  s.key_insert_url = ini.GetString("TOOL", "IDS_KEY_INSRT_URL", kDefaultKeyInsertUrl, kTextBuffer);
  s.url_index_file = ini.GetString("TOOL", "IDS_URL_INDEX_FILE", "", kTextBuffer);
  s.dom_ipc_disable_plugin = ini.GetString("TOOL", "IDS_DOMIPC_DISABLEPLUGIN", "1", kTextBuffer);
  s.url_find_keyword = ini.GetString("Setting", "URLFindKeyWord", "", kTextBuffer);
  return s;
}

}  // namespace

std::string ProgramFolder() {
  std::string folder = fw::FileBesideModule(nullptr, "");
  if (!folder.empty()) folder.pop_back();  // the backslash before the (empty) file name
  return folder;
}

std::string SettingsPath() {
  const std::string folder = ProgramFolder();
  if (folder.empty()) return {};
  const std::string path = folder + "\\" + kSettingsFileName;
  // A path the profile and file functions cannot take is no path at all.
  return path.size() < kTextBuffer ? path : std::string();
}

int LoadDeviceLibrary(const char* settings_path) {
  CIni ini;
  ini.Open(settings_path);
  MutableSettings() = ReadToolSettings(ini);
  return DeviceTable().LoadBesideSettings(settings_path) ? 0 : 1;
}

const ToolSettings& Settings() { return MutableSettings(); }

}  // namespace brevant
