#include "site_lock.h"

#include <exdisp.h>
#include <docobj.h>
#include <oleidl.h>
#include <servprov.h>
#include <shlguid.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "bank_sites_file.h"
#include "bstr.h"

extern "C" HINSTANCE g_kestrine_module;

namespace kestrine {
namespace {

using Microsoft::WRL::ComPtr;

struct TaskMemory {
  void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

struct ScopedVariant : VARIANT {
  ScopedVariant() { VariantInit(this); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(this); }
};

template <typename T>
ComPtr<T> Query(IUnknown* object, REFIID iid) {
  ComPtr<T> found;
  if (FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(found.GetAddressOf())))) found.Reset();
  return found;
}

template <typename T>
ComPtr<T> Service(IServiceProvider* services, REFGUID service, REFIID iid) {
  ComPtr<T> found;
  if (FAILED(services->QueryService(service, iid, reinterpret_cast<void**>(found.GetAddressOf())))) found.Reset();
  return found;
}

// What the sites tell of the caller.
struct PageFacts {
  // A page's host: a document that embeds the control, or a host that runs
  // the page's script behind a browser, a document or a security manager.
  // A script host with none of these (cscript) lets its scripts create any
  // object a program can: it is a program.
  bool is_page = false;
  // Every address a site gave of the page; "" for one it offered but could
  // not read.
  std::vector<std::wstring> addresses;

  void Add(const wchar_t* text, std::size_t length) {
    // A little more than the longest address of a page is enough to refuse
    // a longer one.
    addresses.emplace_back(text ? text : L"", text ? std::min(length, sites::kMaxPageAddressLength + 1) : 0);
  }
};

// The document that holds the control, as its container names it.
void AskContainerMoniker(IOleClientSite* site, PageFacts& facts) {
  ComPtr<IMoniker> moniker;
  if (FAILED(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.GetAddressOf())) || !moniker)
    return;
  ComPtr<IBindCtx> context;
  LPOLESTR name = nullptr;
  if (FAILED(CreateBindCtx(0, context.GetAddressOf())) ||
      FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)))
    name = nullptr;
  const std::unique_ptr<wchar_t, TaskMemory> owned(name);
  facts.Add(name, name ? wcsnlen(name, sites::kMaxPageAddressLength + 1) : 0);
}

// The page the browser shows: the top one, when the control sits in a frame.
void AskBrowser(IServiceProvider* services, PageFacts& facts) {
  const ComPtr<IWebBrowser2> browser = Service<IWebBrowser2>(services, SID_SWebBrowserApp, IID_IWebBrowser2);
  if (!browser) return;
  facts.is_page = true;
  fw::ScopedBstr location;
  const bool read = SUCCEEDED(browser->get_LocationURL(location.put()));
  facts.Add(read ? location.get() : nullptr, SysStringLen(location.get()));
}

// The document whose script calls: a frame's own, where the browser names the
// page around it.
void AskDocument(IServiceProvider* services, PageFacts& facts) {
  const ComPtr<IDispatch> document = Service<IDispatch>(services, SID_SContainerDispatch, IID_IDispatch);
  if (!document) return;
  facts.is_page = true;
  OLECHAR name[] = L"URL";
  LPOLESTR names[] = {name};
  DISPID id = DISPID_UNKNOWN;
  DISPPARAMS none{};
  ScopedVariant url;
  const bool read =
      SUCCEEDED(document->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
      SUCCEEDED(document->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &url, nullptr,
                                 nullptr)) &&
      V_VT(&url) == VT_BSTR;
  facts.Add(read ? V_BSTR(&url) : nullptr, read ? SysStringLen(V_BSTR(&url)) : 0);
}

// `embedded`: given to IOleObject::SetClientSite, so a document holds the
// control.
void AskSite(IUnknown* site, bool embedded, PageFacts& facts) {
  facts.is_page = facts.is_page || embedded;
  if (const ComPtr<IOleClientSite> client = Query<IOleClientSite>(site, IID_IOleClientSite)) {
    facts.is_page = true;
    AskContainerMoniker(client.Get(), facts);
  }
  if (const ComPtr<IServiceProvider> services = Query<IServiceProvider>(site, IID_IServiceProvider)) {
    AskBrowser(services.Get(), facts);
    AskDocument(services.Get(), facts);
    // A browser hands its security manager to the scripts of every page; a
    // host that gives one restricts its scripts as a browser does.
    if (Service<IInternetHostSecurityManager>(services.Get(), SID_SInternetHostSecurityManager,
                                              IID_IInternetHostSecurityManager))
      facts.is_page = true;
  }
}

}  // namespace

const sites::TrustedOrigins& BankSites() {
  // Controls of several apartments of one process may ask first at once.
  static const sites::TrustedOrigins trusted = sites::LoadTrustedOriginsBeside(g_kestrine_module);
  return trusted;
}

bool SitesMayChangeTheKey(IUnknown* client_site, IUnknown* object_site, const sites::TrustedOrigins& trusted) {
  PageFacts facts;
  if (client_site) AskSite(client_site, true, facts);
  if (object_site) AskSite(object_site, false, facts);
  if (!facts.is_page) return trusted.MayChangeTheKey(sites::Peer{false, ""});
  // A page must name itself, and be one of the bank's sites by every name it
  // gives: a foreign frame in a bank's page is still foreign.
  return !facts.addresses.empty() &&
         std::all_of(facts.addresses.begin(), facts.addresses.end(), [&](const std::wstring& address) {
           return trusted.MayChangeTheKey(sites::Peer{true, sites::PageOrigin(address).value_or("")});
         });
}

}  // namespace kestrine
