// An in-process server for the shell window list's class, for tests: a list
// of browser windows whose addresses the test writes into the registry
// (read when a list is created) and whose handles are made up. Only what a
// caller walking the list needs is there; every other method says
// E_NOTIMPL.
#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <shlguid.h>

#include <new>
#include <string>
#include <vector>

#include "com_object.h"
#include "shell_windows_standin.h"

namespace {

#define NOT_IMPLEMENTED(method, parameters) \
  STDMETHODIMP method parameters override { return E_NOTIMPL; }

// Reference counting, the module's lock count and QueryInterface for an
// object of one interface (and the interfaces it derives from, which
// Supports names).
template <typename Interface>
class Object : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && !Supports(iid)) return E_NOINTERFACE;
    *out = static_cast<Interface*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
  }

 protected:
  Object() { fw::ModuleLock::Add(); }
  virtual ~Object() { fw::ModuleLock::Release(); }
  virtual bool Supports(REFIID iid) const = 0;

 private:
  LONG refs_ = 1;
};

class BrowserWindow final : public Object<IWebBrowser2> {
 public:
  BrowserWindow(std::wstring address, LONG_PTR handle) : address_(std::move(address)), handle_(handle) {}

  STDMETHODIMP get_LocationURL(BSTR* address) override {
    if (address == nullptr) return E_POINTER;
    *address = SysAllocStringLen(address_.data(), static_cast<UINT>(address_.size()));
    return *address != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP get_HWND(SHANDLE_PTR* handle) override {
    if (handle == nullptr) return E_POINTER;
    *handle = handle_;
    return S_OK;
  }

  // IDispatch
  NOT_IMPLEMENTED(GetTypeInfoCount, (UINT*))
  NOT_IMPLEMENTED(GetTypeInfo, (UINT, LCID, ITypeInfo**))
  NOT_IMPLEMENTED(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  NOT_IMPLEMENTED(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  // IWebBrowser
  NOT_IMPLEMENTED(GoBack, ())
  NOT_IMPLEMENTED(GoForward, ())
  NOT_IMPLEMENTED(GoHome, ())
  NOT_IMPLEMENTED(GoSearch, ())
  NOT_IMPLEMENTED(Navigate, (BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*))
  NOT_IMPLEMENTED(Refresh, ())
  NOT_IMPLEMENTED(Refresh2, (VARIANT*))
  NOT_IMPLEMENTED(Stop, ())
  NOT_IMPLEMENTED(get_Application, (IDispatch**))
  NOT_IMPLEMENTED(get_Parent, (IDispatch**))
  NOT_IMPLEMENTED(get_Container, (IDispatch**))
  NOT_IMPLEMENTED(get_Document, (IDispatch**))
  NOT_IMPLEMENTED(get_TopLevelContainer, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(get_Type, (BSTR*))
  NOT_IMPLEMENTED(get_Left, (LONG*))
  NOT_IMPLEMENTED(put_Left, (LONG))
  NOT_IMPLEMENTED(get_Top, (LONG*))
  NOT_IMPLEMENTED(put_Top, (LONG))
  NOT_IMPLEMENTED(get_Width, (LONG*))
  NOT_IMPLEMENTED(put_Width, (LONG))
  NOT_IMPLEMENTED(get_Height, (LONG*))
  NOT_IMPLEMENTED(put_Height, (LONG))
  NOT_IMPLEMENTED(get_LocationName, (BSTR*))
  NOT_IMPLEMENTED(get_Busy, (VARIANT_BOOL*))
  // IWebBrowserApp
  NOT_IMPLEMENTED(Quit, ())
  NOT_IMPLEMENTED(ClientToWindow, (int*, int*))
  NOT_IMPLEMENTED(PutProperty, (BSTR, VARIANT))
  NOT_IMPLEMENTED(GetProperty, (BSTR, VARIANT*))
  NOT_IMPLEMENTED(get_Name, (BSTR*))
  NOT_IMPLEMENTED(get_FullName, (BSTR*))
  NOT_IMPLEMENTED(get_Path, (BSTR*))
  NOT_IMPLEMENTED(get_Visible, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_Visible, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_StatusBar, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_StatusBar, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_StatusText, (BSTR*))
  NOT_IMPLEMENTED(put_StatusText, (BSTR))
  NOT_IMPLEMENTED(get_ToolBar, (int*))
  NOT_IMPLEMENTED(put_ToolBar, (int))
  NOT_IMPLEMENTED(get_MenuBar, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_MenuBar, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_FullScreen, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_FullScreen, (VARIANT_BOOL))
  // IWebBrowser2
  NOT_IMPLEMENTED(Navigate2, (VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*))
  NOT_IMPLEMENTED(QueryStatusWB, (OLECMDID, OLECMDF*))
  NOT_IMPLEMENTED(ExecWB, (OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*))
  NOT_IMPLEMENTED(ShowBrowserBar, (VARIANT*, VARIANT*, VARIANT*))
  NOT_IMPLEMENTED(get_ReadyState, (READYSTATE*))
  NOT_IMPLEMENTED(get_Offline, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_Offline, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_Silent, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_Silent, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_RegisterAsBrowser, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_RegisterAsBrowser, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_RegisterAsDropTarget, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_RegisterAsDropTarget, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_TheaterMode, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_TheaterMode, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_AddressBar, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_AddressBar, (VARIANT_BOOL))
  NOT_IMPLEMENTED(get_Resizable, (VARIANT_BOOL*))
  NOT_IMPLEMENTED(put_Resizable, (VARIANT_BOOL))

 private:
  bool Supports(REFIID iid) const override {
    return iid == IID_IWebBrowser || iid == IID_IWebBrowserApp || iid == IID_IWebBrowser2;
  }
  std::wstring address_;
  LONG_PTR handle_;
};

// The addresses the test wrote, in order; none when it wrote none.
std::vector<std::wstring> WindowAddresses() {
  wchar_t key[80] = L"CLSID\\";
  StringFromGUID2(CLSID_ShellWindows, key + 6, 40);
  DWORD size = 0;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key, standin::kWindowAddressesValue, RRF_RT_REG_MULTI_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS)
    return {};
  std::wstring list(size / sizeof(wchar_t) + 2, L'\0');
  size = static_cast<DWORD>(list.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CLASSES_ROOT, key, standin::kWindowAddressesValue, RRF_RT_REG_MULTI_SZ, nullptr, list.data(),
                   &size) != ERROR_SUCCESS)
    return {};
  std::vector<std::wstring> addresses;
  for (const wchar_t* item = list.c_str(); *item != L'\0'; item += addresses.back().size() + 1)
    addresses.emplace_back(item);
  return addresses;
}

class ShellWindowList final : public Object<IShellWindows> {
 public:
  ShellWindowList() {
    LONG_PTR handle = standin::kFirstWindowHandle;
    for (std::wstring& address : WindowAddresses()) windows_.push_back(new BrowserWindow(std::move(address), handle++));
  }

  static HRESULT Create(IUnknown* outer, REFIID iid, void** out) {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* list = new (std::nothrow) ShellWindowList;
    if (list == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = list->QueryInterface(iid, out);
    list->Release();
    return hr;
  }

  STDMETHODIMP get_Count(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<LONG>(windows_.size());
    return S_OK;
  }
  // As the shell's list does: S_FALSE and no window for an index out of range.
  STDMETHODIMP Item(VARIANT index, IDispatch** window) override {
    if (window == nullptr) return E_POINTER;
    *window = nullptr;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, &index, 0, VT_I4))) return E_INVALIDARG;
    if (V_I4(&number) < 0 || static_cast<std::size_t>(V_I4(&number)) >= windows_.size()) return S_FALSE;
    return windows_[V_I4(&number)]->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(window));
  }

  NOT_IMPLEMENTED(GetTypeInfoCount, (UINT*))
  NOT_IMPLEMENTED(GetTypeInfo, (UINT, LCID, ITypeInfo**))
  NOT_IMPLEMENTED(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  NOT_IMPLEMENTED(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  NOT_IMPLEMENTED(_NewEnum, (IUnknown**))
  NOT_IMPLEMENTED(Register, (IDispatch*, LONG, int, LONG*))
  NOT_IMPLEMENTED(RegisterPending, (LONG, VARIANT*, VARIANT*, int, LONG*))
  NOT_IMPLEMENTED(Revoke, (LONG))
  NOT_IMPLEMENTED(OnNavigate, (LONG, VARIANT*))
  NOT_IMPLEMENTED(OnActivated, (LONG, VARIANT_BOOL))
  NOT_IMPLEMENTED(FindWindowSW, (VARIANT*, VARIANT*, int, LONG*, int, IDispatch**))
  NOT_IMPLEMENTED(OnCreated, (LONG, IUnknown*))
  NOT_IMPLEMENTED(ProcessAttachDetach, (VARIANT_BOOL))

 private:
  bool Supports(REFIID iid) const override { return iid == IID_IShellWindows; }
  ~ShellWindowList() override {
    for (BrowserWindow* window : windows_) window->Release();
  }
  std::vector<BrowserWindow*> windows_;
};

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_ShellWindows) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) fw::ClassFactory(&ShellWindowList::Create);
  if (factory == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return fw::ModuleLock::Idle() ? S_OK : S_FALSE; }
