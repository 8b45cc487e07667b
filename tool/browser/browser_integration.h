// The tool and the user's browsers: the bank's site opened when a key
// arrives, the browser's secure sessions forgotten when one leaves. Browser
// windows are found through the shell's window list, browsers started
// through the shell or from their registrations. Every function brings up
// COM for its own thread and builds and releases all it uses within the
// call, so it may run on the user-interface thread or on the key monitor's.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace brevant {

// What the arrival decision reads of the tool settings.
struct BankSiteSettings {
  std::string addresses;    // one address or several, ";" between them
  int open_on_arrival = 0;  // only 1 opens the site
  int need_cert = 0;        // non-zero: only for a key that holds a certificate
};
using KeyHasCertFn = std::function<int(const char* reader)>;

// Opens the bank's site for the key just plugged into `reader`: nothing when
// a browser window already shows one of the addresses (whatever the
// switches say), when opening is not switched on, or when a certificate is
// needed and the key has none; else the browsers are started with the whole
// address setting.
void OpenBankSiteOnArrival(const BankSiteSettings& settings, const char* reader, const KeyHasCertFn& key_has_cert);
// The same on the tool's settings and device library.
void OpenBankSiteOnArrival(const char* reader);

// 1 when the address of a browser window contains `address` exactly (case
// counts), else 0, also when there is no window list.
int IsBankPageOpen(const char* address);

// Adds the handles of the browser windows whose address contains `address`,
// case not counted, to `windows`; false when there is no window list.
bool FindBankWindows(const char* address, std::vector<HWND>& windows);
// At the removal of the last key: the windows at the bank address setting.
// 1, or 0 without a window list. What to do with them is not decided yet.
int FindBankWindowsOnLastRemoval();

// The built-in browser through the shell with `addresses` as its parameters,
// then the maker's secure browser, maximised, when it is registered. 1 when
// it is not registered, 0 otherwise (also when its registration cannot be
// read).
int StartBrowsers(const char* addresses);

// The browser of the App Paths registration, with `address` on its command
// line; elevated when it cannot be started plainly. Failures are silent.
void StartBrowserFromAppPaths(const char* address);

// Empties the secure channel's session cache and moves the internet cache's
// header counter on, each only when its library and function are there.
// Always 0.
int ClearSslCache();
// The same with the functions looked up in the named libraries.
int ClearSslCache(const char* ssl_library, const char* cache_library);

}  // namespace brevant
