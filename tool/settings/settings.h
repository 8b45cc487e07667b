// The tool settings read once at start-up from the per-user copy of
// RVControl.ini, and the loading of the device library beside it.
#pragma once
#include <string>

namespace brevant {

struct ToolSettings {
  int user_pin_retry_num = 16;
  int is_key_insert_url = 0;
  int is_open_pin_cache = 0;
  int need_check_cert_when_open_url = 0;
  int if_show_dlg_plmv = 1;
  std::string key_insert_url;  // 259 bytes at most; default: the bank's home page
  std::string url_index_file;
  std::string dom_ipc_disable_plugin = "1";
  std::string url_find_keyword;  // section "Setting"
};

// The folder of the running program, without the last backslash.
std::string ProgramFolder();
// Program folder + "\RVControl.ini".
std::string SettingsPath();
// Opens the settings (making the per-user copy when needed), reads them and
// loads RVA.dll beside `settings_path` into DeviceTable(): 0, or 1 when the
// library could not be loaded.
int LoadDeviceLibrary(const char* settings_path);
const ToolSettings& Settings();

}  // namespace brevant
