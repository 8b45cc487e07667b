// KestrineControl's persistence. The control has no properties, so there is
// nothing to write or read; pages and containers still expect to initialise,
// save and load it like any other control, and must be able to.
#include "ole_control.h"

namespace kestrine {

STDMETHODIMP KestrineControl::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Kestrine;
  return S_OK;
}

STDMETHODIMP KestrineControl::IsDirty() { return S_FALSE; }

STDMETHODIMP KestrineControl::InitNew() { return S_OK; }

STDMETHODIMP KestrineControl::Load(IStream* stream) { return stream ? S_OK : E_POINTER; }

STDMETHODIMP KestrineControl::Save(IStream* stream, BOOL) { return stream ? S_OK : E_POINTER; }

STDMETHODIMP KestrineControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP KestrineControl::InitNew(IStorage* storage) { return storage ? S_OK : E_POINTER; }

STDMETHODIMP KestrineControl::Load(IStorage* storage) { return storage ? S_OK : E_POINTER; }

// The storage is not kept between Save and SaveCompleted, so there is no
// "no-scribble" state to track.
STDMETHODIMP KestrineControl::Save(IStorage* storage, BOOL) { return storage ? S_OK : E_POINTER; }

STDMETHODIMP KestrineControl::SaveCompleted(IStorage*) { return S_OK; }

STDMETHODIMP KestrineControl::HandsOffStorage() { return S_OK; }

}  // namespace kestrine
