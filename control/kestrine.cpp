// COM identity of CKestrine: reference counting, aggregation, IDispatch.
#include "kestrine.h"

#include <new>

#include "com_object.h"
#include "ole_control.h"

extern "C" HINSTANCE g_kestrine_module;

namespace kestrine {
namespace {

ITypeInfo* cached = nullptr;

// The interface's type information, from the type library in this DLL.
HRESULT KestrineTypeInfo(ITypeInfo** info) {
  if (cached == nullptr) {
    ITypeInfo* loaded = nullptr;
    const HRESULT hr = LoadTypeInfoOfGuid(IID_IKestrine, &loaded);
    if (FAILED(hr)) return hr;
    if (InterlockedCompareExchangePointer(reinterpret_cast<void**>(&cached), loaded, nullptr) != nullptr)
      loaded->Release();
  }
  cached->AddRef();
  *info = cached;
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
  ITypeLib* library = nullptr;
  HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(guid, info);
  library->Release();
  return hr;
}

void ReleaseTypeInfoCache() {
  if (ITypeInfo* info = static_cast<ITypeInfo*>(InterlockedExchangePointer(reinterpret_cast<void**>(&cached), nullptr)))
    info->Release();
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
  const HRESULT hr = object->inner_.QueryInterface(iid, out);
  object->inner_.Release();  // the creation reference; `out` holds its own
  return hr;
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
  return KestrineTypeInfo(info);
}

STDMETHODIMP CKestrine::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = KestrineTypeInfo(&info);
  if (FAILED(hr)) return hr;
  hr = info->GetIDsOfNames(names, count, ids);
  info->Release();
  return hr;
}

STDMETHODIMP CKestrine::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* exception, UINT* arg_error) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  ITypeInfo* info = nullptr;
  HRESULT hr = KestrineTypeInfo(&info);
  if (FAILED(hr)) return hr;
  hr = info->Invoke(static_cast<IKestrine*>(this), id, flags, params, result, exception, arg_error);
  info->Release();
  return hr;
}

}  // namespace kestrine
