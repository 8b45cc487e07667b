// Brevant.exe: start-up of the tray tool. The program ends when its main
// dialog does.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "brevant_dlg.h"
#include "ini.h"
#include "scoped_handle.h"
#include "settings.h"
#include "trusted_sites.h"

namespace brevant {
namespace {

constexpr char kInstallCommandLine[] = "install";

bool IsCommandLine(const char* command_line, const char* verb) {
  return command_line != nullptr && std::strcmp(command_line, verb) == 0;
}

// The install run starts from a clean per-user state: the file named after
// the program in the per-user folder (no fallback folder here) goes.
void DeletePerUserProgramFile() {
  char folder[MAX_PATH] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder) != S_OK) return;
  std::string path = PerUserFolderFrom(folder);
  if (path.empty()) return;
  char module[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  std::string base = module;
  base = base.substr(base.find_last_of('\\') + 1);
  base = base.substr(0, base.find_last_of('.'));
  path += base + ".ini";
  if (path.size() >= MAX_PATH) return;
  {
    const fw::ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!file) return;
  }
  DeleteFileA(path.c_str());
}

class CBrevantApp {
 public:
  // Always false: there is no message loop after the main dialog.
  bool InitInstance(const char* command_line) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    if (IsCommandLine(command_line, kInstallCommandLine)) {
      DeletePerUserProgramFile();
      ApplyTrustedSiteSettings();
      // Before the dialog reads the copy: this start already has the new
      // master's settings.
      RefreshPerUserCopy(SettingsPath().c_str());
    }
    const HRESULT com = CoInitialize(nullptr);
    {
      CBrevantDlg dialog;
      dialog.DoModal();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return false;
  }
};

}  // namespace
}  // namespace brevant

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  brevant::CBrevantApp app;
  app.InitInstance(command_line);
  return 0;
}
