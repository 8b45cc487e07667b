// KestrineControl's second kind of site, and what its sites say of the right
// to change the key.
#include "ole_control.h"
#include "site_lock.h"

namespace kestrine {

STDMETHODIMP KestrineControl::SetSite(IUnknown* site) {
  object_site_ = site;
  site_lock_.Sited(site, false);
  return S_OK;
}

STDMETHODIMP KestrineControl::GetSite(REFIID iid, void** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  if (!object_site_) return E_FAIL;
  return object_site_->QueryInterface(iid, site);
}

bool KestrineControl::CallerMayChangeTheKey() {
  // Held across the questions: a site may be taken away while it answers.
  const Microsoft::WRL::ComPtr<IOleClientSite> client_site = client_site_;
  const Microsoft::WRL::ComPtr<IUnknown> object_site = object_site_;
  return site_lock_.MayChangeTheKey(client_site.Get(), object_site.Get(), BankSites());
}

}  // namespace kestrine
