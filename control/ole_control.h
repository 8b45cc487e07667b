// KestrineControl: CKestrine as a windowed ActiveX control, so containers can
// site it, activate it in place, draw it and persist it. It has no properties
// and no events; what it shows is a framed rectangle with its name.
#pragma once
#include <windows.h>
// The OLE headers below expect the Windows types already declared.
#include <ocidl.h>
#include <oleidl.h>
#include <wrl/client.h>

#include "kestrine.h"
#include "site_lock.h"
#include "window.h"

namespace kestrine {

// OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
// OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST, the value also
// registered under the class's MiscStatus\1.
inline constexpr DWORD kMiscStatus = 131473;

// Size of a control that no container has sized yet, in HIMETRIC (0.01 mm).
inline constexpr SIZEL kDefaultExtent = {2540, 1270};

// Draws the control into `dc` within `bounds`; the DC is left as it was.
// Used both for IViewObject::Draw and for the control's own window.
void DrawKestrine(HDC dc, const RECT& bounds);

// The control's window while it is active in place, a child of the
// container's window; it shows the drawing. The container may destroy it
// (with its own) at any time: hwnd() is null from then on.
class ControlWindow final : public fw::Window {
 public:
  HRESULT CreateIn(HWND parent, const RECT& position);

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
};

class KestrineControl final : public CKestrine,
                              public IPersistStreamInit,
                              public IPersistStorage,
                              public IOleControl,
                              public IOleObject,
                              public IOleInPlaceActiveObject,
                              public IOleInPlaceObjectWindowless,
                              public IViewObjectEx,
                              public ISpecifyPropertyPages,
                              public IQuickActivate,
                              public IDataObject,
                              public IProvideClassInfo2,
                              public ISupportErrorInfo,
                              public IObjectWithSite {
 public:
  explicit KestrineControl(IUnknown* outer) : CKestrine(outer) {}
  ~KestrineControl() override;

  // IUnknown of every interface: the controlling unknown's.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return CKestrine::QueryInterface(iid, out); }
  STDMETHODIMP_(ULONG) AddRef() override { return CKestrine::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return CKestrine::Release(); }

  // IPersist (of both persistence interfaces).
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IPersistStreamInit and IPersistStorage: there is no state to keep.
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(IStream* stream) override;
  STDMETHODIMP Save(IStream* stream, BOOL clear_dirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP InitNew(IStorage* storage) override;
  STDMETHODIMP Load(IStorage* storage) override;
  STDMETHODIMP Save(IStorage* storage, BOOL same_as_load) override;
  STDMETHODIMP SaveCompleted(IStorage* storage) override;
  STDMETHODIMP HandsOffStorage() override;

  // IOleControl.
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* msg) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IOleObject.
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  STDMETHODIMP Close(DWORD save_option) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* active_site, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advises) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow (of the in-place object and the active object).
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  // IOleInPlaceActiveObject.
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame_window) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;
  // IOleInPlaceObject and IOleInPlaceObjectWindowless.
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;
  STDMETHODIMP OnWindowMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
  STDMETHODIMP GetDropTarget(IDropTarget** target) override;

  // IViewObject, IViewObject2 and IViewObjectEx.
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* target, HDC target_dc, HDC dc,
                    LPCRECTL bounds, LPCRECTL window_bounds, BOOL(STDMETHODCALLTYPE* keep_going)(ULONG_PTR),
                    ULONG_PTR keep_going_argument) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* target, HDC target_dc,
                           LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspect_info, DWORD* cookie) override;
  STDMETHODIMP Unfreeze(DWORD cookie) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, LPSIZEL size) override;
  STDMETHODIMP GetRect(DWORD aspect, LPRECTL rect) override;
  STDMETHODIMP GetViewStatus(DWORD* status) override;
  STDMETHODIMP QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG close_hint, DWORD* hit) override;
  STDMETHODIMP QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG close_hint, DWORD* hit) override;
  STDMETHODIMP GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target, HDC target_dc, DVEXTENTINFO* info,
                                LPSIZEL size) override;

  // ISpecifyPropertyPages.
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // IQuickActivate.
  STDMETHODIMP QuickActivate(QACONTAINER* container, QACONTROL* control) override;
  STDMETHODIMP SetContentExtent(LPSIZEL size) override;
  STDMETHODIMP GetContentExtent(LPSIZEL size) override;

  // IDataObject.
  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHODIMP QueryGetData(FORMATETC* format) override;
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  STDMETHODIMP SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  STDMETHODIMP DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP DUnadvise(DWORD connection) override;
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA** advises) override;

  // IProvideClassInfo and IProvideClassInfo2.
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // ISupportErrorInfo.
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  // IObjectWithSite: how script engines and hosts that do not embed the
  // control tell it where it is.
  STDMETHODIMP SetSite(IUnknown* site) override;
  STDMETHODIMP GetSite(REFIID iid, void** site) override;

 protected:
  void* FindInterface(REFIID iid) override;
  bool CallerMayChangeTheKey() override;

 private:
  HRESULT InPlaceActivate(LONG verb, IOleClientSite* active_site, HWND parent, LPCRECT position);
  HRESULT UIActivate();
  HRESULT OleAdviseHolder(IOleAdviseHolder** holder);
  HRESULT DataAdviseHolder(IDataAdviseHolder** holder);
  // Leaves the container: deactivates and lets go of the in-place site and
  // the frame, which would otherwise keep each other and this object alive.
  void LeaveContainer();

  Microsoft::WRL::ComPtr<IOleClientSite> client_site_;
  Microsoft::WRL::ComPtr<IUnknown> object_site_;
  SiteLock site_lock_;
  Microsoft::WRL::ComPtr<IOleInPlaceSite> in_place_site_;
  Microsoft::WRL::ComPtr<IOleInPlaceFrame> frame_;
  Microsoft::WRL::ComPtr<IOleInPlaceUIWindow> ui_window_;
  Microsoft::WRL::ComPtr<IOleAdviseHolder> ole_advise_;
  Microsoft::WRL::ComPtr<IDataAdviseHolder> data_advise_;
  Microsoft::WRL::ComPtr<IAdviseSink> view_sink_;
  DWORD view_aspects_ = 0;
  DWORD view_flags_ = 0;
  SIZEL extent_ = kDefaultExtent;
  RECT position_ = {};
  bool in_place_active_ = false;
  bool ui_active_ = false;
  ControlWindow window_;
};

}  // namespace kestrine
