// The browser windows of the shell's window list and their addresses.
#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <shlguid.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <string>

#include "browser_integration.h"
#include "bstr.h"
#include "com_apartment.h"

namespace brevant {
namespace {

using Microsoft::WRL::ComPtr;

// In-process, handler or (the shell's own) local server.
constexpr DWORD kShellWindowsContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
static_assert(kShellWindowsContext == 0x17);

// Calls `visit(browser, address)` for each window of the list that is a
// browser, until it returns true. COM must be up on the calling thread.
// False when there is no window list.
template <typename Visit>
bool ForEachBrowserWindow(Visit visit) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, kShellWindowsContext, IID_PPV_ARGS(&windows))))
    return false;
  LONG count = 0;
  if (FAILED(windows->get_Count(&count))) return true;
  for (LONG i = 0; i < count; ++i) {
    VARIANT index;
    VariantInit(&index);
    V_VT(&index) = VT_I4;
    V_I4(&index) = i;
    ComPtr<IDispatch> item;
    // Folder windows and windows gone since the count are passed over.
    if (windows->Item(index, &item) != S_OK || !item) continue;
    ComPtr<IWebBrowser2> browser;
    if (FAILED(item.As(&browser))) continue;
    fw::ScopedBstr address;
    if (FAILED(browser->get_LocationURL(address.put()))) continue;
    if (visit(*browser.Get(), fw::BstrToAnsi(address.get()))) break;
  }
  return true;
}

}  // namespace

int IsBankPageOpen(const char* address) {
  if (address == nullptr) return 0;
  const fw::ComApartment apartment;
  bool open = false;
  ForEachBrowserWindow([&](IWebBrowser2&, const std::string& location) {
    open = StrStrA(location.c_str(), address) != nullptr;
    return open;
  });
  return open ? 1 : 0;
}

bool FindBankWindows(const char* address, std::vector<HWND>& windows) {
  if (address == nullptr) return false;
  const fw::ComApartment apartment;
  return ForEachBrowserWindow([&](IWebBrowser2& browser, const std::string& location) {
    SHANDLE_PTR handle = 0;
    if (StrStrIA(location.c_str(), address) != nullptr && SUCCEEDED(browser.get_HWND(&handle)))
      windows.push_back(reinterpret_cast<HWND>(handle));
    return false;
  });
}

}  // namespace brevant
