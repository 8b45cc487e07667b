#include "site_lock.h"

#include <exdisp.h>
#include <mshtml.h>
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
  // Whether one of them is the address of the control's own document (its
  // container's moniker or document), not only the browser's top page: a
  // foreign frame in a bank's page is shown by a browser at the bank's
  // address.
  bool names_own_document = false;

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
  facts.names_own_document = true;
}

// The address of the document that holds the control, read through the
// document's own interface: a page's script can define a property "URL" of
// its own, which a lookup by name would find in some document modes.
void AskDocument(IUnknown* container, PageFacts& facts) {
  facts.is_page = true;
  const ComPtr<IHTMLDocument2> document = Query<IHTMLDocument2>(container, IID_IHTMLDocument2);
  fw::ScopedBstr url;
  const bool read = document && SUCCEEDED(document->get_URL(url.put()));
  facts.Add(read ? url.get() : nullptr, SysStringLen(url.get()));
  facts.names_own_document = true;
}

// The container an embedding site holds the control in: a browser's is the
// document.
void AskContainer(IOleClientSite* site, PageFacts& facts) {
  ComPtr<IOleContainer> container;
  if (SUCCEEDED(site->GetContainer(container.GetAddressOf())) && container) AskDocument(container.Get(), facts);
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

// `embedded`: given to IOleObject::SetClientSite, so a document holds the
// control.
void AskSite(IUnknown* site, bool embedded, PageFacts& facts) {
  facts.is_page = facts.is_page || embedded;
  if (const ComPtr<IOleClientSite> client = Query<IOleClientSite>(site, IID_IOleClientSite)) {
    facts.is_page = true;
    AskContainerMoniker(client.Get(), facts);
    AskContainer(client.Get(), facts);
  }
  if (const ComPtr<IServiceProvider> services = Query<IServiceProvider>(site, IID_IServiceProvider)) {
    AskBrowser(services.Get(), facts);
    if (const ComPtr<IUnknown> document = Service<IUnknown>(services.Get(), SID_SContainerDispatch, IID_IUnknown))
      AskDocument(document.Get(), facts);
    // A browser hands its security manager to the scripts of every page; a
    // host that gives one restricts its scripts as a browser does.
    if (Service<IInternetHostSecurityManager>(services.Get(), SID_SInternetHostSecurityManager,
                                              IID_IInternetHostSecurityManager))
      facts.is_page = true;
  }
}

PageFacts AskSites(IUnknown* client_site, IUnknown* object_site) {
  PageFacts facts;
  if (client_site) AskSite(client_site, true, facts);
  if (object_site) AskSite(object_site, false, facts);
  return facts;
}

}  // namespace

const sites::TrustedOrigins& BankSites() {
  // Controls of several apartments of one process may ask first at once.
  static const sites::TrustedOrigins trusted(
      sites::ReadBankSiteList(sites::SettingsFileOfInstallation(g_kestrine_module)));
  return trusted;
}

void SiteLock::Sited(IUnknown* site, bool embedded) {
  if (site == nullptr || ever_on_page_) return;
  ever_on_page_ = embedded ? true : AskSites(nullptr, site).is_page;
}

bool SiteLock::MayChangeTheKey(IUnknown* client_site, IUnknown* object_site, const sites::TrustedOrigins& trusted) {
  const PageFacts facts = AskSites(client_site, object_site);
  ever_on_page_ = ever_on_page_ || facts.is_page;
  if (!ever_on_page_) return trusted.MayChangeTheKey(sites::Peer{false, ""});
  // A page must name its own document, and be one of the bank's sites by
  // every name it gives: a foreign frame in a bank's page is still foreign.
  return facts.names_own_document && !facts.addresses.empty() &&
         std::all_of(facts.addresses.begin(), facts.addresses.end(), [&](const std::wstring& address) {
           return trusted.MayChangeTheKey(sites::Peer{true, sites::PageOrigin(address).value_or("")});
         });
}

}  // namespace kestrine
