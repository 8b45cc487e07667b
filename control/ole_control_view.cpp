// KestrineControl's picture: the drawing shared by its window and its view
// object, hit testing, and the minimal data object containers ask for.
#include "ole_control.h"
#include "scoped_gdi.h"

namespace kestrine {
namespace {

constexpr wchar_t kCaption[] = L"ATL 8.0 : Kestrine";

}  // namespace

void DrawKestrine(HDC dc, const RECT& bounds) {
  const fw::SavedDcState saved(dc);
  // A narrow control must not write its name over the container around it.
  IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  // Stock objects: selected, never deleted. The white brush makes the
  // control opaque, as its view status tells containers.
  SelectObject(dc, GetStockObject(BLACK_PEN));
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  // The name may be wider than the frame; it must not blank the frame out.
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  const int x = bounds.left + (bounds.right - bounds.left) / 2;
  const int y = bounds.top + (bounds.bottom - bounds.top) / 2;
  TextOutW(dc, x, y, kCaption, static_cast<int>(ARRAYSIZE(kCaption) - 1));
}

STDMETHODIMP KestrineControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                                   BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  // Only a windowless object may be given no bounds; this one has a window.
  if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
  const RECT rect = {bounds->left, bounds->top, bounds->right, bounds->bottom};
  DrawKestrine(dc, rect);
  return S_OK;
}

STDMETHODIMP KestrineControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP KestrineControl::Freeze(DWORD, LONG, void*, DWORD* cookie) {
  if (cookie) *cookie = 0;
  return E_NOTIMPL;
}

STDMETHODIMP KestrineControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP KestrineControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  view_sink_ = sink;
  view_aspects_ = sink ? aspects : 0;
  view_flags_ = sink ? flags : 0;
  return S_OK;
}

STDMETHODIMP KestrineControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = view_aspects_;
  if (flags) *flags = view_flags_;
  if (sink) view_sink_.CopyTo(sink);
  return S_OK;
}

STDMETHODIMP KestrineControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

STDMETHODIMP KestrineControl::GetRect(DWORD, LPRECTL) { return E_NOTIMPL; }

STDMETHODIMP KestrineControl::GetViewStatus(DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = VIEWSTATUS_SOLIDBKGND | VIEWSTATUS_OPAQUE;
  return S_OK;
}

// The control is an opaque rectangle: a point hits when inside the bounds, a
// rectangle when it overlaps them.
STDMETHODIMP KestrineControl::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG, DWORD* hit) {
  if (bounds == nullptr || hit == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *hit = PtInRect(bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

STDMETHODIMP KestrineControl::QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location, LONG, DWORD* hit) {
  if (bounds == nullptr || location == nullptr || hit == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  RECT overlap{};
  *hit = IntersectRect(&overlap, bounds, location) ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

STDMETHODIMP KestrineControl::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*, LPSIZEL) {
  return E_NOTIMPL;
}

// --- IDataObject: no renderings are offered; only advise sinks are kept.

STDMETHODIMP KestrineControl::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (format == nullptr || medium == nullptr) return E_POINTER;
  return DV_E_FORMATETC;
}

STDMETHODIMP KestrineControl::GetDataHere(FORMATETC* format, STGMEDIUM* medium) {
  if (format == nullptr || medium == nullptr) return E_POINTER;
  return DV_E_FORMATETC;
}

STDMETHODIMP KestrineControl::QueryGetData(FORMATETC* format) { return format ? DV_E_FORMATETC : E_POINTER; }

STDMETHODIMP KestrineControl::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
  if (out == nullptr) return E_POINTER;
  out->ptd = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP KestrineControl::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

STDMETHODIMP KestrineControl::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
  if (formats == nullptr) return E_POINTER;
  *formats = nullptr;
  return E_NOTIMPL;
}

HRESULT KestrineControl::DataAdviseHolder(IDataAdviseHolder** holder) {
  if (!data_advise_) {
    const HRESULT hr = CreateDataAdviseHolder(data_advise_.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
  }
  *holder = data_advise_.Get();
  return S_OK;
}

STDMETHODIMP KestrineControl::DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) {
  if (connection == nullptr) return E_POINTER;
  *connection = 0;
  if (format == nullptr || sink == nullptr) return E_INVALIDARG;
  IDataAdviseHolder* holder = nullptr;
  const HRESULT hr = DataAdviseHolder(&holder);
  return FAILED(hr) ? hr : holder->Advise(static_cast<IDataObject*>(this), format, flags, sink, connection);
}

STDMETHODIMP KestrineControl::DUnadvise(DWORD connection) {
  return data_advise_ ? data_advise_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP KestrineControl::EnumDAdvise(IEnumSTATDATA** advises) {
  if (advises == nullptr) return E_POINTER;
  *advises = nullptr;
  IDataAdviseHolder* holder = nullptr;
  const HRESULT hr = DataAdviseHolder(&holder);
  return FAILED(hr) ? hr : holder->EnumAdvise(advises);
}

}  // namespace kestrine
