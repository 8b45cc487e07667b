// StartAsUser.exe: the installer's way to start a program as the user who is
// signed in at this desktop, not with the installer's own (elevated, maybe
// another administrator's) token. The desktop's shell runs as that user: it
// is asked to start the program, as a double-click on the desktop would.
//   StartAsUser.exe [--wait] PROGRAM [ARGUMENTS]
// --wait: until the program, once started, has ended (at most a minute).
// Exit codes: 0 started (and ended, with --wait); 3 no desktop shell to ask
// (no one signed in, a deployment account, Wine): nothing started; 1 the
// shell did not start it; 2 usage.
#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "bstr.h"
#include "com_apartment.h"
#include "scoped_handle.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr int kStarted = 0;
constexpr int kNotStarted = 1;
constexpr int kUsage = 2;
constexpr int kNoShell = 3;
constexpr DWORD kAppearLimitMs = 15000;
constexpr DWORD kEndLimitMs = 60000;

// The desktop shell's own object for starting programs, or nothing when no
// shell of a signed-in user answers.
ComPtr<IShellDispatch2> DesktopShell() {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&windows)))) return {};
  VARIANT empty = {};
  long window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) != S_OK || !desktop)
    return {};
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folder_view;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(desktop.As(&services)) ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser))) ||
      FAILED(browser->QueryActiveShellView(&view)) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background))) ||
      FAILED(background.As(&folder_view)) || FAILED(folder_view->get_Application(&application)) || !application ||
      FAILED(application.As(&shell)))
    return {};
  return shell;
}

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
  return text;
}

// The processes now running `program` (compared by full path).
std::vector<DWORD> ProcessesOf(const std::wstring& program) {
  std::vector<DWORD> found;
  const fw::ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  const std::wstring wanted = Lower(program);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    const fw::ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process) continue;
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (QueryFullProcessImageNameW(process.get(), 0, path, &length) && Lower(std::wstring(path, length)) == wanted)
      found.push_back(entry.th32ProcessID);
  }
  return found;
}

// The shell gives no handle of what it started: the program's first new
// process is waited for, should it still be running when looked for.
void WaitForNewProcessToEnd(const std::wstring& program, const std::vector<DWORD>& before) {
  const ULONGLONG give_up = GetTickCount64() + kAppearLimitMs;
  while (GetTickCount64() < give_up) {
    for (const DWORD id : ProcessesOf(program)) {
      if (std::find(before.begin(), before.end(), id) != before.end()) continue;
      const fw::ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
      if (process) WaitForSingleObject(process.get(), kEndLimitMs);
      return;
    }
    Sleep(100);
  }
}

std::wstring FullPath(const wchar_t* path) {
  wchar_t full[MAX_PATH] = {};
  const DWORD length = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::wstring(full, length) : std::wstring();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int next = 1;
  const bool wait = next < argc && std::wcscmp(argv[next], L"--wait") == 0;
  if (wait) ++next;
  if (next >= argc || argc > next + 2) {
    std::fputws(L"usage: StartAsUser.exe [--wait] PROGRAM [ARGUMENTS]\n", stderr);
    return kUsage;
  }
  const std::wstring program = FullPath(argv[next]);
  const wchar_t* arguments = next + 1 < argc ? argv[next + 1] : L"";
  if (program.empty()) return kUsage;

  const fw::ComApartment apartment;
  const ComPtr<IShellDispatch2> shell = DesktopShell();
  if (!shell) return kNoShell;
  const std::vector<DWORD> before = wait ? ProcessesOf(program) : std::vector<DWORD>();
  VARIANT args = {}, folder = {}, verb = {}, show = {};
  const fw::ScopedBstr file(SysAllocString(program.c_str()));
  const fw::ScopedBstr text(SysAllocString(arguments));
  if (!file.get() || !text.get()) return kNotStarted;
  args.vt = VT_BSTR;
  args.bstrVal = text.get();
  show.vt = VT_INT;
  show.intVal = SW_SHOWNORMAL;
  if (FAILED(shell->ShellExecute(file.get(), args, folder, verb, show))) return kNotStarted;
  if (wait) WaitForNewProcessToEnd(program, before);
  return kStarted;
}
