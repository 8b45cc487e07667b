// A container that puts the control on a web page, for tests: its site tells
// the page's address the ways browsers do (the container's moniker, the
// browser's LocationURL, the script's document) or keeps it to itself. The
// objects live on the stack and count their references.
#pragma once
#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <mshtml.h>
#include <oleidl.h>
#include <servprov.h>
#include <shlguid.h>
#include <urlmon.h>

#include <optional>
#include <string>

#define STAND_IN(method, parameters) \
  STDMETHODIMP method parameters override { return E_NOTIMPL; }

// Reference counting of an object on the stack, and QueryInterface for one
// interface and those it derives from.
template <typename Interface>
class StackObject : public Interface {
 public:
  LONG refs = 1;
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDispatch || Supports(iid) ? static_cast<Interface*>(this) : nullptr;
    return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }

 protected:
  virtual bool Supports(REFIID iid) const = 0;
};

// A browser showing `address`; nothing else of it works.
class StandInBrowser final : public StackObject<IWebBrowser2> {
 public:
  std::wstring address;
  STDMETHODIMP get_LocationURL(BSTR* url) override {
    *url = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
    return *url ? S_OK : E_OUTOFMEMORY;
  }
  STAND_IN(GetTypeInfoCount, (UINT*)) STAND_IN(GetTypeInfo, (UINT, LCID, ITypeInfo**))
  STAND_IN(GetIDsOfNames, (REFIID, LPOLESTR*, UINT, LCID, DISPID*))
  STAND_IN(Invoke, (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*))
  STAND_IN(GoBack, ()) STAND_IN(GoForward, ()) STAND_IN(GoHome, ()) STAND_IN(GoSearch, ()) STAND_IN(Stop, ())
  STAND_IN(Navigate, (BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*)) STAND_IN(Refresh, ()) STAND_IN(Refresh2, (VARIANT*))
  STAND_IN(get_Application, (IDispatch**)) STAND_IN(get_Parent, (IDispatch**)) STAND_IN(get_Container, (IDispatch**))
  STAND_IN(get_Document, (IDispatch**)) STAND_IN(get_TopLevelContainer, (VARIANT_BOOL*)) STAND_IN(get_Type, (BSTR*))
  STAND_IN(get_Left, (LONG*)) STAND_IN(put_Left, (LONG)) STAND_IN(get_Top, (LONG*)) STAND_IN(put_Top, (LONG))
  STAND_IN(get_Width, (LONG*)) STAND_IN(put_Width, (LONG)) STAND_IN(get_Height, (LONG*)) STAND_IN(put_Height, (LONG))
  STAND_IN(get_LocationName, (BSTR*)) STAND_IN(get_Busy, (VARIANT_BOOL*)) STAND_IN(Quit, ())
  STAND_IN(ClientToWindow, (int*, int*)) STAND_IN(PutProperty, (BSTR, VARIANT)) STAND_IN(GetProperty, (BSTR, VARIANT*))
  STAND_IN(get_Name, (BSTR*)) STAND_IN(get_HWND, (SHANDLE_PTR*)) STAND_IN(get_FullName, (BSTR*))
  STAND_IN(get_Path, (BSTR*)) STAND_IN(get_Visible, (VARIANT_BOOL*)) STAND_IN(put_Visible, (VARIANT_BOOL))
  STAND_IN(get_StatusBar, (VARIANT_BOOL*)) STAND_IN(put_StatusBar, (VARIANT_BOOL)) STAND_IN(get_StatusText, (BSTR*))
  STAND_IN(put_StatusText, (BSTR)) STAND_IN(get_ToolBar, (int*)) STAND_IN(put_ToolBar, (int))
  STAND_IN(get_MenuBar, (VARIANT_BOOL*)) STAND_IN(put_MenuBar, (VARIANT_BOOL))
  STAND_IN(get_FullScreen, (VARIANT_BOOL*)) STAND_IN(put_FullScreen, (VARIANT_BOOL))
  STAND_IN(Navigate2, (VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*))
  STAND_IN(QueryStatusWB, (OLECMDID, OLECMDF*)) STAND_IN(ExecWB, (OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*))
  STAND_IN(ShowBrowserBar, (VARIANT*, VARIANT*, VARIANT*)) STAND_IN(get_ReadyState, (READYSTATE*))
  STAND_IN(get_Offline, (VARIANT_BOOL*)) STAND_IN(put_Offline, (VARIANT_BOOL))
  STAND_IN(get_Silent, (VARIANT_BOOL*)) STAND_IN(put_Silent, (VARIANT_BOOL))
  STAND_IN(get_RegisterAsBrowser, (VARIANT_BOOL*)) STAND_IN(put_RegisterAsBrowser, (VARIANT_BOOL))
  STAND_IN(get_RegisterAsDropTarget, (VARIANT_BOOL*)) STAND_IN(put_RegisterAsDropTarget, (VARIANT_BOOL))
  STAND_IN(get_TheaterMode, (VARIANT_BOOL*)) STAND_IN(put_TheaterMode, (VARIANT_BOOL))
  STAND_IN(get_AddressBar, (VARIANT_BOOL*)) STAND_IN(put_AddressBar, (VARIANT_BOOL))
  STAND_IN(get_Resizable, (VARIANT_BOOL*)) STAND_IN(put_Resizable, (VARIANT_BOOL))

 private:
  bool Supports(REFIID iid) const override {
    return iid == IID_IWebBrowser || iid == IID_IWebBrowserApp || iid == IID_IWebBrowser2;
  }
};

// A document showing `address`; its script has defined a property "URL" of
// its own giving `script_url`. Its container interface is the one an
// embedding site hands out.
class StandInDocument final : public IHTMLDocument2, public IOleContainer {
 public:
  static constexpr DISPID kScriptUrl = 1025;
  LONG refs = 1;
  std::wstring address, script_url;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IHTMLDocument || iid == IID_IHTMLDocument2)
      *out = static_cast<IHTMLDocument2*>(this);
    if (iid == IID_IParseDisplayName || iid == IID_IOleContainer) *out = static_cast<IOleContainer*>(this);
    return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }

  STDMETHODIMP get_URL(BSTR* url) override {
    *url = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
    return *url ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1 || lstrcmpiW(names[0], L"URL") != 0) return DISP_E_UNKNOWNNAME;
    *ids = kScriptUrl;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != kScriptUrl || !(flags & DISPATCH_PROPERTYGET) || result == nullptr) return DISP_E_MEMBERNOTFOUND;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocStringLen(script_url.data(), static_cast<UINT>(script_url.size()));
    return S_OK;
  }
  STAND_IN(GetTypeInfoCount, (UINT*)) STAND_IN(GetTypeInfo, (UINT, LCID, ITypeInfo**))
  STAND_IN(get_Script, (IDispatch**))
  STAND_IN(get_all, (IHTMLElementCollection**)) STAND_IN(get_body, (IHTMLElement**))
  STAND_IN(get_activeElement, (IHTMLElement**)) STAND_IN(get_images, (IHTMLElementCollection**))
  STAND_IN(get_applets, (IHTMLElementCollection**)) STAND_IN(get_links, (IHTMLElementCollection**))
  STAND_IN(get_forms, (IHTMLElementCollection**)) STAND_IN(get_anchors, (IHTMLElementCollection**))
  STAND_IN(put_title, (BSTR)) STAND_IN(get_title, (BSTR*)) STAND_IN(get_scripts, (IHTMLElementCollection**))
  STAND_IN(put_designMode, (BSTR)) STAND_IN(get_designMode, (BSTR*)) STAND_IN(get_selection, (IHTMLSelectionObject**))
  STAND_IN(get_readyState, (BSTR*)) STAND_IN(get_frames, (IHTMLFramesCollection2**))
  STAND_IN(get_embeds, (IHTMLElementCollection**)) STAND_IN(get_plugins, (IHTMLElementCollection**))
  STAND_IN(put_alinkColor, (VARIANT)) STAND_IN(get_alinkColor, (VARIANT*)) STAND_IN(put_bgColor, (VARIANT))
  STAND_IN(get_bgColor, (VARIANT*)) STAND_IN(put_fgColor, (VARIANT)) STAND_IN(get_fgColor, (VARIANT*))
  STAND_IN(put_linkColor, (VARIANT)) STAND_IN(get_linkColor, (VARIANT*)) STAND_IN(put_vlinkColor, (VARIANT))
  STAND_IN(get_vlinkColor, (VARIANT*)) STAND_IN(get_referrer, (BSTR*)) STAND_IN(get_location, (IHTMLLocation**))
  STAND_IN(get_lastModified, (BSTR*)) STAND_IN(put_URL, (BSTR)) STAND_IN(put_domain, (BSTR))
  STAND_IN(get_domain, (BSTR*)) STAND_IN(put_cookie, (BSTR)) STAND_IN(get_cookie, (BSTR*))
  STAND_IN(put_expando, (VARIANT_BOOL)) STAND_IN(get_expando, (VARIANT_BOOL*)) STAND_IN(put_charset, (BSTR))
  STAND_IN(get_charset, (BSTR*)) STAND_IN(put_defaultCharset, (BSTR)) STAND_IN(get_defaultCharset, (BSTR*))
  STAND_IN(get_mimeType, (BSTR*)) STAND_IN(get_fileSize, (BSTR*)) STAND_IN(get_fileCreatedDate, (BSTR*))
  STAND_IN(get_fileModifiedDate, (BSTR*)) STAND_IN(get_fileUpdatedDate, (BSTR*)) STAND_IN(get_security, (BSTR*))
  STAND_IN(get_protocol, (BSTR*)) STAND_IN(get_nameProp, (BSTR*)) STAND_IN(write, (SAFEARRAY*))
  STAND_IN(writeln, (SAFEARRAY*)) STAND_IN(open, (BSTR, VARIANT, VARIANT, VARIANT, IDispatch**)) STAND_IN(close, ())
  STAND_IN(clear, ()) STAND_IN(queryCommandSupported, (BSTR, VARIANT_BOOL*))
  STAND_IN(queryCommandEnabled, (BSTR, VARIANT_BOOL*)) STAND_IN(queryCommandState, (BSTR, VARIANT_BOOL*))
  STAND_IN(queryCommandIndeterm, (BSTR, VARIANT_BOOL*)) STAND_IN(queryCommandText, (BSTR, BSTR*))
  STAND_IN(queryCommandValue, (BSTR, VARIANT*)) STAND_IN(execCommand, (BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*))
  STAND_IN(execCommandShowHelp, (BSTR, VARIANT_BOOL*)) STAND_IN(createElement, (BSTR, IHTMLElement**))
  STAND_IN(put_onhelp, (VARIANT)) STAND_IN(get_onhelp, (VARIANT*)) STAND_IN(put_onclick, (VARIANT))
  STAND_IN(get_onclick, (VARIANT*)) STAND_IN(put_ondblclick, (VARIANT)) STAND_IN(get_ondblclick, (VARIANT*))
  STAND_IN(put_onkeyup, (VARIANT)) STAND_IN(get_onkeyup, (VARIANT*)) STAND_IN(put_onkeydown, (VARIANT))
  STAND_IN(get_onkeydown, (VARIANT*)) STAND_IN(put_onkeypress, (VARIANT)) STAND_IN(get_onkeypress, (VARIANT*))
  STAND_IN(put_onmouseup, (VARIANT)) STAND_IN(get_onmouseup, (VARIANT*)) STAND_IN(put_onmousedown, (VARIANT))
  STAND_IN(get_onmousedown, (VARIANT*)) STAND_IN(put_onmousemove, (VARIANT)) STAND_IN(get_onmousemove, (VARIANT*))
  STAND_IN(put_onmouseout, (VARIANT)) STAND_IN(get_onmouseout, (VARIANT*)) STAND_IN(put_onmouseover, (VARIANT))
  STAND_IN(get_onmouseover, (VARIANT*)) STAND_IN(put_onreadystatechange, (VARIANT))
  STAND_IN(get_onreadystatechange, (VARIANT*)) STAND_IN(put_onafterupdate, (VARIANT))
  STAND_IN(get_onafterupdate, (VARIANT*)) STAND_IN(put_onrowexit, (VARIANT)) STAND_IN(get_onrowexit, (VARIANT*))
  STAND_IN(put_onrowenter, (VARIANT)) STAND_IN(get_onrowenter, (VARIANT*)) STAND_IN(put_ondragstart, (VARIANT))
  STAND_IN(get_ondragstart, (VARIANT*)) STAND_IN(put_onselectstart, (VARIANT)) STAND_IN(get_onselectstart, (VARIANT*))
  STAND_IN(elementFromPoint, (LONG, LONG, IHTMLElement**)) STAND_IN(get_parentWindow, (IHTMLWindow2**))
  STAND_IN(get_styleSheets, (IHTMLStyleSheetsCollection**)) STAND_IN(put_onbeforeupdate, (VARIANT))
  STAND_IN(get_onbeforeupdate, (VARIANT*)) STAND_IN(put_onerrorupdate, (VARIANT))
  STAND_IN(get_onerrorupdate, (VARIANT*)) STAND_IN(toString, (BSTR*))
  STAND_IN(createStyleSheet, (BSTR, LONG, IHTMLStyleSheet**))
  STAND_IN(ParseDisplayName, (IBindCtx*, LPOLESTR, ULONG*, IMoniker**))
  STAND_IN(EnumObjects, (DWORD, IEnumUnknown**)) STAND_IN(LockContainer, (BOOL))
};

// How a host puts the control on its page.
enum class Host {
  None,          // created by a program: no site at all
  Document,      // embedded: IOleObject::SetClientSite with an OLE client site
  ScriptEngine,  // created by a script: IObjectWithSite::SetSite with a service provider only
};

// What the page's host tells of it; an address left out is not offered. The
// document's script names `script_url` as its "URL", else the document's own.
struct PageOfHost {
  const char* what;
  Host host;
  std::optional<std::wstring> moniker = {}, browser = {}, document = {};
  bool security_manager = false;
  std::optional<std::wstring> script_url = {};
};

class PageSite final : public IOleClientSite, public IServiceProvider, public IInternetHostSecurityManager {
 public:
  explicit PageSite(const PageOfHost& page) : page_(page) {
    browser.address = page.browser.value_or(L"");
    document.address = page.document.value_or(L"");
    document.script_url = page.script_url.value_or(document.address);
  }
  LONG refs = 1;
  StandInBrowser browser;
  StandInDocument document;

  // The page moves on: its host now names `address` wherever it named one.
  void Navigate(const std::wstring& address) {
    for (std::optional<std::wstring>* named : {&page_.moniker, &page_.browser, &page_.document})
      if (*named) **named = address;
    browser.address = document.address = document.script_url = address;
  }
  // Every reference the control took was given back.
  bool Released() const { return refs == 1 && browser.refs == 1 && document.refs == 1; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IServiceProvider) *out = static_cast<IServiceProvider*>(this);
    if (iid == IID_IOleClientSite && page_.host == Host::Document) *out = static_cast<IOleClientSite*>(this);
    return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }

  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override {
    *moniker = nullptr;
    if (!page_.moniker || which != OLEWHICHMK_CONTAINER || assign != OLEGETMONIKER_ONLYIFTHERE) return E_FAIL;
    // An item moniker without a delimiter shows its item as it is.
    return CreateItemMoniker(L"", page_.moniker->c_str(), moniker);
  }
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override {
    *out = nullptr;
    if (service == SID_SWebBrowserApp && page_.browser) return browser.QueryInterface(iid, out);
    if (service == SID_SContainerDispatch && page_.document) return document.QueryInterface(iid, out);
    if (service == SID_SInternetHostSecurityManager && page_.security_manager && iid == IID_IInternetHostSecurityManager)
      return *out = static_cast<IInternetHostSecurityManager*>(this), AddRef(), S_OK;
    return E_NOINTERFACE;
  }

  STDMETHODIMP SaveObject() override { return S_OK; }
  // An embedding site's container is the document.
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    *container = nullptr;
    if (!page_.document || page_.host != Host::Document) return E_NOINTERFACE;
    return document.QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  STAND_IN(GetSecurityId, (BYTE*, DWORD*, DWORD_PTR))
  STAND_IN(ProcessUrlAction, (DWORD, BYTE*, DWORD, BYTE*, DWORD, DWORD, DWORD))
  STAND_IN(QueryCustomPolicy, (REFGUID, BYTE**, DWORD*, BYTE*, DWORD, DWORD))

 private:
  PageOfHost page_;
};

#undef STAND_IN
