#include "browser_integration.h"

#include "device_layer.h"
#include "phase_trace.h"
#include "scoped_handle.h"
#include "settings.h"
#include "site_url.h"

namespace brevant {
namespace {

using SslEmptyCacheFn = BOOL(WINAPI*)(LPWSTR target, DWORD flags);
using IncrementUrlCacheHeaderDataFn = BOOL(WINAPI*)(DWORD index, LPDWORD value);
// The header counter the internet cache bumps when its contents change.
constexpr DWORD kCacheChangeCounter = 14;

template <typename Function>
Function Lookup(const fw::ScopedModule& library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library.get(), name)));
}

}  // namespace

void OpenBankSiteOnArrival(const BankSiteSettings& settings, const char* reader, const KeyHasCertFn& key_has_cert) {
  // The user already at the bank keeps that window and gets no second one,
  // even where opening is switched off.
  {
    const TraceSpan span("bank page lookup");
    for (const std::string& address : SplitSiteList(settings.addresses))
      if (IsBankPageOpen(address.c_str()) == 1) return;
  }
  if (settings.open_on_arrival != 1) return;
  if (settings.need_cert != 0 && key_has_cert(reader) == 0) return;
  const TraceSpan span("browser start");
  StartBrowsers(settings.addresses.c_str());
}

void OpenBankSiteOnArrival(const char* reader) {
  const ToolSettings& settings = Settings();
  OpenBankSiteOnArrival({settings.key_insert_url, settings.is_key_insert_url, settings.need_check_cert_when_open_url},
                        reader, [](const char* key_reader) { return KeyHasCert(key_reader); });
}

int FindBankWindowsOnLastRemoval() {
  std::vector<HWND> windows;
  return FindBankWindows(Settings().key_insert_url.c_str(), windows) ? 1 : 0;
}

int ClearSslCache(const char* ssl_library, const char* cache_library) {
  const fw::ScopedModule ssl(LoadLibraryA(ssl_library));
  const fw::ScopedModule cache(LoadLibraryA(cache_library));
  const auto empty_cache = Lookup<SslEmptyCacheFn>(ssl, "SslEmptyCacheW");
  const auto increment = Lookup<IncrementUrlCacheHeaderDataFn>(cache, "IncrementUrlCacheHeaderData");
  if (empty_cache != nullptr) empty_cache(nullptr, 0);
  if (increment != nullptr) {
    DWORD value = 0;
    increment(kCacheChangeCounter, &value);
  }
  return 0;
}

int ClearSslCache() { return ClearSslCache("SCHANNEL.DLL", "WININET.DLL"); }

}  // namespace brevant
