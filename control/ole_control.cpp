// KestrineControl's identity and the interfaces that only describe it:
// class information, property pages and error information.
#include "ole_control.h"

namespace kestrine {

KestrineControl::~KestrineControl() {
  // Nothing is called on the container any more: its pointers are only
  // released. A container that kept the frame's active object pointing here
  // would still hold a reference, so this runs only after it let go.
  window_.Destroy();
}

void* KestrineControl::FindInterface(REFIID iid) {
  if (iid == IID_IPersist) return static_cast<IPersist*>(static_cast<IPersistStreamInit*>(this));
  if (iid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
  if (iid == IID_IPersistStorage) return static_cast<IPersistStorage*>(this);
  if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
  if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
  if (iid == IID_IOleWindow) return static_cast<IOleWindow*>(static_cast<IOleInPlaceObject*>(this));
  if (iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
  if (iid == IID_IOleInPlaceObjectWindowless) return static_cast<IOleInPlaceObjectWindowless*>(this);
  if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
  if (iid == IID_IViewObject) return static_cast<IViewObject*>(this);
  if (iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
  if (iid == IID_IViewObjectEx) return static_cast<IViewObjectEx*>(this);
  if (iid == IID_ISpecifyPropertyPages) return static_cast<ISpecifyPropertyPages*>(this);
  if (iid == IID_IQuickActivate) return static_cast<IQuickActivate*>(this);
  if (iid == IID_IDataObject) return static_cast<IDataObject*>(this);
  if (iid == IID_IProvideClassInfo) return static_cast<IProvideClassInfo*>(this);
  if (iid == IID_IProvideClassInfo2) return static_cast<IProvideClassInfo2*>(this);
  if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
  if (iid == IID_IObjectWithSite) return static_cast<IObjectWithSite*>(this);
  return CKestrine::FindInterface(iid);
}

STDMETHODIMP KestrineControl::GetClassInfo(ITypeInfo** info) { return LoadTypeInfoOfGuid(CLSID_Kestrine, info); }

// The control fires no events, so there is no default source interface to
// name; a host asking for one learns that there is none.
STDMETHODIMP KestrineControl::GetGUID(DWORD, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  *guid = GUID_NULL;
  return E_INVALIDARG;
}

STDMETHODIMP KestrineControl::GetPages(CAUUID* pages) {
  if (pages == nullptr) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  return S_OK;
}

STDMETHODIMP KestrineControl::InterfaceSupportsErrorInfo(REFIID iid) { return iid == IID_IKestrine ? S_OK : S_FALSE; }

}  // namespace kestrine
