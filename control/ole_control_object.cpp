// KestrineControl as an embedded object: the client site, verbs, in-place
// activation in a child window of the container, extent and advise sinks.
#include <cstddef>

#include "ole_control.h"
#include "scoped_gdi.h"

namespace kestrine {
namespace {

constexpr wchar_t kWindowClass[] = L"KestrineControlWindow";

// HIMETRIC (0.01 mm) to pixels of the screen, where the control's window is.
SIZE ExtentToPixels(const SIZEL& extent) {
  int dpi_x = 96, dpi_y = 96;
  if (const fw::WindowDc screen(nullptr); screen) {
    dpi_x = GetDeviceCaps(screen.get(), LOGPIXELSX);
    dpi_y = GetDeviceCaps(screen.get(), LOGPIXELSY);
  }
  return SIZE{MulDiv(extent.cx, dpi_x, 2540), MulDiv(extent.cy, dpi_y, 2540)};
}

}  // namespace

HRESULT ControlWindow::CreateIn(HWND parent, const RECT& position) {
  // Registered in this DLL's name; DllMain unregisters it when the DLL goes.
  SetLastError(0);
  if (!fw::RegisterWindowClass(kWindowClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS) ||
      !Create(kWindowClass, "", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, position, parent)) {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  return S_OK;
}

bool ControlWindow::OnMessage(UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_ERASEBKGND:
      result = 1;  // painting covers the whole client area
      return true;
    case WM_PAINT: {
      const fw::PaintDc paint(hwnd());
      RECT client{};
      GetClientRect(hwnd(), &client);
      if (paint) DrawKestrine(paint.get(), client);
      return true;
    }
    case WM_PRINTCLIENT: {
      // Lets a container take a picture of the window into its own DC.
      RECT client{};
      GetClientRect(hwnd(), &client);
      if (wparam) DrawKestrine(reinterpret_cast<HDC>(wparam), client);
      return true;
    }
    default:
      return false;
  }
}

// --- client site and closing

STDMETHODIMP KestrineControl::SetClientSite(IOleClientSite* site) {
  if (site == client_site_.Get()) return S_OK;
  LeaveContainer();
  client_site_ = site;
  site_lock_.Sited(site, true);
  return S_OK;
}

STDMETHODIMP KestrineControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  return client_site_.CopyTo(site);
}

void KestrineControl::LeaveContainer() {
  InPlaceDeactivate();
  frame_.Reset();
  ui_window_.Reset();
  in_place_site_.Reset();
}

STDMETHODIMP KestrineControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP KestrineControl::Close(DWORD) {
  // Held across the calls below: a sink may drop the container's last
  // reference to this object while being told.
  Microsoft::WRL::ComPtr<IUnknown> keep_alive(static_cast<IOleObject*>(this));
  LeaveContainer();
  if (ole_advise_) ole_advise_->SendOnClose();
  return S_OK;
}

STDMETHODIMP KestrineControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP KestrineControl::GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) {
  if (moniker == nullptr) return E_POINTER;
  *moniker = nullptr;
  if (!client_site_) return E_UNEXPECTED;
  return client_site_->GetMoniker(assign, which, moniker);
}

STDMETHODIMP KestrineControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP KestrineControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

// --- verbs and in-place activation

STDMETHODIMP KestrineControl::DoVerb(LONG verb, LPMSG, IOleClientSite* active_site, LONG, HWND parent,
                                     LPCRECT position) {
  Microsoft::WRL::ComPtr<IUnknown> keep_alive(static_cast<IOleObject*>(this));
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate(verb, active_site, parent, position);
    case OLEIVERB_HIDE:
      UIDeactivate();
      if (window_.hwnd()) ShowWindow(window_.hwnd(), SW_HIDE);
      return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
      return S_OK;  // nothing is ever undoable
    default:
      if (verb > 0) {
        // An unknown positive verb counts as the primary one.
        const HRESULT hr = InPlaceActivate(OLEIVERB_PRIMARY, active_site, parent, position);
        return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
      }
      return E_NOTIMPL;
  }
}

HRESULT KestrineControl::InPlaceActivate(LONG verb, IOleClientSite* active_site, HWND parent, LPCRECT position) {
  if (!in_place_site_) {
    IOleClientSite* site = client_site_ ? client_site_.Get() : active_site;
    if (site == nullptr) return E_UNEXPECTED;
    site_lock_.Sited(site, true);
    Microsoft::WRL::ComPtr<IOleInPlaceSite> in_place;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(in_place.GetAddressOf()))) ||
        !in_place)
      return E_NOINTERFACE;
    in_place_site_ = in_place;
  }
  // Local copy: the site's notifications may reach SetClientSite(nullptr).
  Microsoft::WRL::ComPtr<IOleInPlaceSite> site = in_place_site_;
  if (!in_place_active_) {
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    in_place_active_ = true;
    const HRESULT hr = site->OnInPlaceActivate();
    if (FAILED(hr)) {
      in_place_active_ = false;
      return hr;
    }
  }

  if (!window_.hwnd()) {
    HWND container = nullptr;
    if (FAILED(site->GetWindow(&container)) || container == nullptr) container = parent;
    if (container == nullptr) {
      InPlaceDeactivate();
      return E_FAIL;
    }
    RECT rect = position ? *position : RECT{};
    RECT clip{};
    OLEINPLACEFRAMEINFO frame_info{};
    frame_info.cb = sizeof frame_info;
    frame_.Reset();
    ui_window_.Reset();
    if (SUCCEEDED(
            site->GetWindowContext(frame_.GetAddressOf(), ui_window_.GetAddressOf(), &rect, &clip, &frame_info)) &&
        position != nullptr) {
      rect = *position;  // the caller's rectangle is the newer one
    }
    position_ = rect;
    const HRESULT hr = window_.CreateIn(container, rect);
    if (FAILED(hr)) {
      InPlaceDeactivate();
      return hr;
    }
  }
  if (!window_.hwnd()) return E_UNEXPECTED;  // the container destroyed it while being told
  ShowWindow(window_.hwnd(), SW_SHOWNA);
  if (client_site_) client_site_->ShowObject();
  if (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY) return UIActivate();
  return S_OK;
}

HRESULT KestrineControl::UIActivate() {
  if (ui_active_) return S_OK;
  Microsoft::WRL::ComPtr<IOleInPlaceSite> site = in_place_site_;
  if (!site) return E_UNEXPECTED;
  ui_active_ = true;
  const HRESULT hr = site->OnUIActivate();
  if (FAILED(hr)) {
    ui_active_ = false;
    return hr;
  }
  // The control has no tools and no menu: it claims no border space.
  auto* active = static_cast<IOleInPlaceActiveObject*>(this);
  if (frame_) {
    frame_->SetActiveObject(active, nullptr);
    frame_->SetBorderSpace(nullptr);
  }
  if (ui_window_) {
    ui_window_->SetActiveObject(active, nullptr);
    ui_window_->SetBorderSpace(nullptr);
  }
  if (window_.hwnd()) SetFocus(window_.hwnd());
  return S_OK;
}

STDMETHODIMP KestrineControl::UIDeactivate() {
  if (!ui_active_) return S_OK;
  ui_active_ = false;
  if (ui_window_) ui_window_->SetActiveObject(nullptr, nullptr);
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (Microsoft::WRL::ComPtr<IOleInPlaceSite> site = in_place_site_) site->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP KestrineControl::InPlaceDeactivate() {
  if (!in_place_active_) return S_OK;
  UIDeactivate();
  window_.Destroy();
  in_place_active_ = false;
  if (Microsoft::WRL::ComPtr<IOleInPlaceSite> site = in_place_site_) site->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP KestrineControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  position_ = *position;
  if (window_.hwnd())
    SetWindowPos(window_.hwnd(), nullptr, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

STDMETHODIMP KestrineControl::ReactivateAndUndo() { return E_NOTIMPL; }

// Messages reach this control through its own window; it is never windowless.
STDMETHODIMP KestrineControl::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) {
  if (result) *result = 0;
  return S_FALSE;
}

STDMETHODIMP KestrineControl::GetDropTarget(IDropTarget** target) {
  if (target == nullptr) return E_POINTER;
  *target = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP KestrineControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_.hwnd();
  return *window ? S_OK : E_FAIL;
}

STDMETHODIMP KestrineControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP KestrineControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP KestrineControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP KestrineControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP KestrineControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP KestrineControl::EnableModeless(BOOL) { return S_OK; }

// --- description, extent and advise sinks

STDMETHODIMP KestrineControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs == nullptr) return E_POINTER;
  return OleRegEnumVerbs(CLSID_Kestrine, verbs);
}

STDMETHODIMP KestrineControl::Update() { return S_OK; }
STDMETHODIMP KestrineControl::IsUpToDate() { return S_OK; }

STDMETHODIMP KestrineControl::GetUserClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_Kestrine;
  return S_OK;
}

STDMETHODIMP KestrineControl::GetUserType(DWORD form, LPOLESTR* type) {
  if (type == nullptr) return E_POINTER;
  return OleRegGetUserType(CLSID_Kestrine, form, type);
}

STDMETHODIMP KestrineControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  const bool changed = size->cx != extent_.cx || size->cy != extent_.cy;
  extent_ = *size;
  // Active in place, the rectangle is the container's to grant: the control
  // asks for one of the new size and the container answers with
  // SetObjectRects.
  if (changed && in_place_active_ && in_place_site_) {
    const SIZE pixels = ExtentToPixels(extent_);
    const RECT wanted = {position_.left, position_.top, position_.left + pixels.cx, position_.top + pixels.cy};
    Microsoft::WRL::ComPtr<IOleInPlaceSite> site = in_place_site_;
    site->OnPosRectChange(&wanted);
  }
  return S_OK;
}

STDMETHODIMP KestrineControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_FAIL;
  *size = extent_;
  return S_OK;
}

HRESULT KestrineControl::OleAdviseHolder(IOleAdviseHolder** holder) {
  if (!ole_advise_) {
    const HRESULT hr = CreateOleAdviseHolder(ole_advise_.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
  }
  *holder = ole_advise_.Get();
  return S_OK;
}

STDMETHODIMP KestrineControl::Advise(IAdviseSink* sink, DWORD* connection) {
  if (connection == nullptr) return E_POINTER;
  *connection = 0;
  IOleAdviseHolder* holder = nullptr;
  const HRESULT hr = OleAdviseHolder(&holder);
  return FAILED(hr) ? hr : holder->Advise(sink, connection);
}

STDMETHODIMP KestrineControl::Unadvise(DWORD connection) {
  return ole_advise_ ? ole_advise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP KestrineControl::EnumAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  IOleAdviseHolder* holder = nullptr;
  const HRESULT hr = OleAdviseHolder(&holder);
  return FAILED(hr) ? hr : holder->EnumAdvise(advises);
}

// Content has the registered status; other aspects have none, as the
// registry's default MiscStatus of 0 says.
STDMETHODIMP KestrineControl::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
  return S_OK;
}

STDMETHODIMP KestrineControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IOleControl: no mnemonics, no ambient properties used, no events

STDMETHODIMP KestrineControl::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  if (info->cb < sizeof(CONTROLINFO)) return E_INVALIDARG;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP KestrineControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP KestrineControl::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP KestrineControl::FreezeEvents(BOOL) { return S_OK; }

// --- IQuickActivate: the container's first calls in one

STDMETHODIMP KestrineControl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  // Older containers pass shorter structures; both must reach at least the
  // members read or written here.
  if (container->cbSize < offsetof(QACONTAINER, pPropertyNotifySink) ||
      control->cbSize < offsetof(QACONTROL, dwPointerActivationPolicy))
    return E_INVALIDARG;
  const ULONG size = control->cbSize < sizeof(QACONTROL) ? control->cbSize : static_cast<ULONG>(sizeof(QACONTROL));
  ZeroMemory(reinterpret_cast<BYTE*>(control) + sizeof control->cbSize, size - sizeof control->cbSize);
  HRESULT hr = SetClientSite(container->pClientSite);
  if (FAILED(hr)) return hr;
  if (container->pAdviseSink) {
    hr = SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    if (FAILED(hr)) return hr;
  }
  GetMiscStatus(DVASPECT_CONTENT, &control->dwMiscStatus);
  GetViewStatus(&control->dwViewStatus);
  return S_OK;
}

STDMETHODIMP KestrineControl::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }

STDMETHODIMP KestrineControl::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

}  // namespace kestrine
