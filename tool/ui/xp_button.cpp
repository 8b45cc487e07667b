#include "xp_button.h"

namespace brevant {
namespace {

HGDIOBJ SolidBrush(COLORREF colour) { return CreateSolidBrush(colour); }
HGDIOBJ Pen(int style, COLORREF colour) { return CreatePen(style, 1, colour); }

void Line(HDC dc, HGDIOBJ pen, int x1, int y1, int x2, int y2) {
  SelectObject(dc, pen);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

}  // namespace

CXPButton::CXPButton()
    : frame_pen_(Pen(PS_INSIDEFRAME, kFrameColour)),
      disabled_frame_pen_(Pen(PS_INSIDEFRAME, kDisabledFrameColour)),
      hover_face_brush_(SolidBrush(kHoverFaceColour)),
      face_brush_(SolidBrush(kFaceColour)) {
  for (int i = 0; i < 4; ++i) {
    hover_highlight_pens_[i].reset(Pen(PS_DOT, kHighlightColours[i]));
    focus_highlight_pens_[i].reset(Pen(PS_DOT, kHighlightColours[i]));
  }
}

bool CXPButton::SubclassButton(HWND button) {
  if (!Subclass(button)) return false;
  MakeOwnerDrawn(button);
  return true;
}

bool CXPButton::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_MOUSEMOVE)  // the control follows the pointer too (pressed while inside)
    hover_.OnMouseMove(hwnd(), {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
  else if (message == WM_MOUSELEAVE)
    hover_.OnMouseLeave(hwnd());
  return Window::OnMessage(message, wparam, lparam, result);
}

bool CXPButton::OnReflectedDrawItem(DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  const RECT& rect = item.rcItem;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const fw::SavedDcState saved(dc);
  SelectButtonFont(hwnd(), dc);

  // The corners outside the rounding show the dialog behind the button.
  FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
  SelectObject(dc, (disabled ? disabled_frame_pen_ : frame_pen_).get());
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, kCornerSize, kCornerSize);

  RECT face = rect;
  InflateRect(&face, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
  FillFace(dc, face);
  if (hovered() || (item.itemState & ODS_FOCUS) != 0) DrawHighlight(dc, face);
  DrawCaption(dc, face, (item.itemState & ODS_SELECTED) != 0, disabled);
  return true;
}

void CXPButton::FillFace(HDC dc, const RECT& face) {
  FillRect(dc, &face, static_cast<HBRUSH>((hovered() ? hover_face_brush_ : face_brush_).get()));
}

void CXPButton::DrawHighlight(HDC dc, const RECT& face) {
  const fw::ScopedGdiObject* pens = hovered() ? hover_highlight_pens_ : focus_highlight_pens_;
  // Dotted lines along the inside of the face; the gaps show the face.
  SetBkMode(dc, TRANSPARENT);
  const int left = face.left, top = face.top, right = face.right - 1, bottom = face.bottom - 1;
  Line(dc, pens[0].get(), left, top, right + 1, top);
  Line(dc, pens[1].get(), left, top + 1, left, bottom);
  Line(dc, pens[2].get(), left, bottom, right + 1, bottom);
  Line(dc, pens[3].get(), right, top + 1, right, bottom);
}

void CXPButton::DrawCaption(HDC dc, const RECT& face, bool pressed, bool disabled) const {
  wchar_t caption[kCaptionChars] = {};
  const int length = GetWindowTextW(hwnd(), caption, static_cast<int>(kCaptionChars));
  if (length <= 0) return;
  SIZE size = {};
  GetTextExtentPoint32W(dc, caption, length, &size);
  const int shift = pressed ? 1 : 0;
  const int x = face.left + (face.right - face.left - size.cx) / 2 + shift;
  const int y = face.top + (face.bottom - face.top - size.cy) / 2 + shift;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption), static_cast<WPARAM>(length), x, y, size.cx,
             size.cy, DST_TEXT | (disabled ? DSS_DISABLED : DSS_NORMAL));
}

}  // namespace brevant
