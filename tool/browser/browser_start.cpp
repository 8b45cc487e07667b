// Starting the browsers: the built-in one through the shell or from its App
// Paths registration, the maker's secure browser from its uninstall entry.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "browser_integration.h"
#include "scoped_handle.h"

namespace brevant {
namespace {

constexpr char kSecureBrowserKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillonSecureBrowser1.101";
constexpr char kSecureBrowserValue[] = "DisplayIcon";
constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
constexpr std::size_t kPathBuffer = 260;

// The registered browser path, without the quotes it may be registered
// with; "" when there is none. A path that does not fit the buffer is none:
// cut short it would name some other program.
std::string AppPathsBrowser() {
  fw::ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return {};
  char path[kPathBuffer] = {};
  DWORD size = sizeof path - 1;  // the last byte stays the terminator
  if (RegQueryValueExA(key.get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS)
    return {};
  std::string_view text(path);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return std::string(text);
}

}  // namespace

int StartBrowsers(const char* addresses) {
  ShellExecuteA(nullptr, "open", "iexplore.exe", addresses, nullptr, SW_SHOWNORMAL);

  fw::ScopedRegKey key;
  const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, kSecureBrowserKey, 0, KEY_READ, key.put());
  if (opened != ERROR_SUCCESS) return opened == ERROR_FILE_NOT_FOUND ? 1 : 0;
  DWORD size = 0;
  LONG result = RegQueryValueExA(key.get(), kSecureBrowserValue, nullptr, nullptr, nullptr, &size);
  std::unique_ptr<char[]> path;
  if (result == ERROR_SUCCESS) {
    // One byte more than the value: text stored without its terminator
    // still ends inside the buffer.
    path.reset(new (std::nothrow) char[static_cast<std::size_t>(size) + 1]());
    if (!path) return 0;
    result = RegQueryValueExA(key.get(), kSecureBrowserValue, nullptr, nullptr, reinterpret_cast<BYTE*>(path.get()),
                              &size);
  }
  key.reset();
  if (result != ERROR_SUCCESS) return result == ERROR_FILE_NOT_FOUND ? 1 : 0;
  ShellExecuteA(nullptr, "open", path.get(), nullptr, nullptr, SW_SHOWMAXIMIZED);
  return 0;
}

void StartBrowserFromAppPaths(const char* address) {
  const std::string path = AppPathsBrowser();
  if (path.empty()) return;
  const std::string parameters = address != nullptr ? address : "";
  // In quotes: unquoted, "C:\Program Files\..." is first tried as
  // "C:\Program.exe" with the rest as its arguments, and whoever can put a
  // file there would run in the user's session.
  std::string command_line = "\"" + path + "\" " + parameters;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &started)) {
    const fw::ScopedHandle process(started.hProcess), thread(started.hThread);
    return;
  }

  // Some installations only start elevated.
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return;
  const std::string folder = path.substr(0, slash);
  const std::string file = path.substr(slash + 1);
  if (folder.empty() || file.empty()) return;
  SHELLEXECUTEINFOA elevated = {};
  elevated.cbSize = sizeof elevated;
  elevated.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  static_assert((SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC) == 0x140);
  elevated.lpVerb = "runas";
  elevated.lpFile = file.c_str();
  elevated.lpParameters = parameters.c_str();
  elevated.lpDirectory = folder.c_str();
  elevated.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExA(&elevated)) const fw::ScopedHandle process(elevated.hProcess);
}

}  // namespace brevant
