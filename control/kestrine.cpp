// COM identity of CKestrine: reference counting, aggregation, IDispatch.
#include "kestrine.h"

#include <new>

#include "com_object.h"
#include "ole_control.h"

extern "C" HINSTANCE g_kestrine_module;

namespace kestrine {
namespace {

using Microsoft::WRL::ComPtr;

// Shared by the objects of every apartment, which race to fill it; holds one
// reference, dropped by ReleaseTypeInfoCache.
ITypeInfo* cached = nullptr;

// The interface's type information, from the type library in this DLL.
HRESULT KestrineTypeInfo(ComPtr<ITypeInfo>& info) {
  if (cached == nullptr) {
    ComPtr<ITypeInfo> loaded;
    const HRESULT hr = LoadTypeInfoOfGuid(IID_IKestrine, loaded.GetAddressOf());
    if (FAILED(hr)) return hr;
    // The cache takes the loaded reference unless another thread was first.
    if (InterlockedCompareExchangePointer(reinterpret_cast<void**>(&cached), loaded.Get(), nullptr) == nullptr)
      loaded.Detach();
  }
  info = cached;
  return S_OK;
}

}  // namespace

HRESULT LoadTypeInfoOfGuid(REFGUID guid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  // The library is read from this DLL's own resources, never from the
  // registry, so an unregistered copy of the control still describes itself.
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(g_kestrine_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  ComPtr<ITypeLib> library;
  const HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, library.GetAddressOf());
  return FAILED(hr) ? hr : library->GetTypeInfoOfGuid(guid, info);
}

void ReleaseTypeInfoCache() {
  // The cache's reference, released with the temporary.
  Adopt(static_cast<ITypeInfo*>(InterlockedExchangePointer(reinterpret_cast<void**>(&cached), nullptr)));
}

CKestrine::CKestrine(IUnknown* outer) : outer_(outer ? outer : &inner_) { fw::ModuleLock::Add(); }
CKestrine::~CKestrine() { fw::ModuleLock::Release(); }

HRESULT CKestrine::Create(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  // The script object always comes as a complete control, so that pages and
  // containers can site it, draw it and persist it.
  CKestrine* object = new (std::nothrow) KestrineControl(outer);
  if (object == nullptr) return E_OUTOFMEMORY;
  // The creation reference ends here: `out` holds its own, and a failed
  // query leaves nothing behind.
  return Adopt<IUnknown>(&object->inner_)->QueryInterface(iid, out);
}

void* CKestrine::FindInterface(REFIID iid) {
  if (iid == IID_IDispatch || iid == IID_IKestrine) return static_cast<IKestrine*>(this);
  return nullptr;
}

STDMETHODIMP CKestrine::Inner::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = (iid == IID_IUnknown) ? static_cast<IUnknown*>(this) : self_->FindInterface(iid);
  if (*out == nullptr) return E_NOINTERFACE;
  static_cast<IUnknown*>(*out)->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CKestrine::Inner::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete self_;
  return refs;
}

STDMETHODIMP CKestrine::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CKestrine::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ComPtr<ITypeInfo> type_info;
  const HRESULT hr = KestrineTypeInfo(type_info);
  if (SUCCEEDED(hr)) *info = type_info.Detach();
  return hr;
}

STDMETHODIMP CKestrine::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ComPtr<ITypeInfo> info;
  const HRESULT hr = KestrineTypeInfo(info);
  return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CKestrine::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* exception, UINT* arg_error) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ComPtr<ITypeInfo> info;
  const HRESULT hr = KestrineTypeInfo(info);
  return FAILED(hr) ? hr : info->Invoke(static_cast<IKestrine*>(this), id, flags, params, result, exception, arg_error);
}

}  // namespace kestrine
