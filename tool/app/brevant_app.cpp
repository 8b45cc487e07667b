// Brevant.exe: start-up of the tray tool. The program ends when its main
// dialog does; the uninstall run ends without one.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "brevant_dlg.h"
#include "cert_store.h"
#include "com_apartment.h"
#include "language.h"
#include "profile_value.h"
#include "scoped_handle.h"
#include "settings.h"
#include "settings_copy.h"
#include "text_cut.h"
#include "trusted_zone.h"

namespace brevant {
namespace {

constexpr char kInstallCommandLine[] = "install";
constexpr char kUninstallCommandLine[] = "uninstall";
// What the device library reads of a value for the tool, which cuts it to
// its own buffer.
constexpr std::size_t kLibraryTextSize = 4096;

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

// The installer's Active Setup component, whose logon command is the install
// run. Windows marks a user done with a version only when the logon ran
// the command; the run the installer starts for the signed-in user marks
// its own user, so that the next logon does not run it (and bring the
// tool's window up) once more.
constexpr wchar_t kActiveSetupKey[] =
    L"Software\\Microsoft\\Active Setup\\Installed Components\\{8FC9B5E3-E6FC-4007-811A-1F7DF6C2BADD}";

void MarkInstallRunDone() {
  wchar_t version[64] = {};
  DWORD bytes = sizeof version;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kActiveSetupKey, L"Version", RRF_RT_REG_SZ, nullptr, version, &bytes) !=
      ERROR_SUCCESS)
    return;
  RegSetKeyValueW(HKEY_CURRENT_USER, kActiveSetupKey, L"Version", REG_SZ, version,
                  static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
}

// A provider setting as the tool gets it through the library: from the
// installation's RVControl.ini (the library's folder), cut to the tool's
// buffer. The uninstall run needs no library to read it.
std::string InstalledCspInfo(const std::string& settings_path, const char* key) {
  return CutText(fw::ReadProfileValue(settings_path, "CSPINFO", key, "", kLibraryTextSize).text, kTextBuffer);
}

// The uninstall run: the store entries the tool made for the keys go, as
// with the tool's own remove command. It asks nothing and shows nothing (an
// uninstaller waits for it); exit code 0 when they went, 1 otherwise.
int RemoveInstalledProviderCerts() {
  const std::string settings = SettingsPath();
  if (settings.empty()) return 1;
  const std::string provider = InstalledCspInfo(settings, "CSP_NAME");
  const std::string sm2_store = InstalledCspInfo(settings, "SM2_STORE_NAME");
  return RemoveProviderCerts(provider.c_str(), sm2_store.c_str()) == 0 ? 0 : 1;
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
      MarkInstallRunDone();
    }
    const fw::ComApartment com;
    CBrevantDlg dialog;
    dialog.DoModal();
    return false;
  }
};

}  // namespace
}  // namespace brevant

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
  if (brevant::IsCommandLine(command_line, brevant::kUninstallCommandLine))
    return brevant::RemoveInstalledProviderCerts();
  brevant::CBrevantApp app;
  app.InitInstance(command_line);
  return 0;
}
