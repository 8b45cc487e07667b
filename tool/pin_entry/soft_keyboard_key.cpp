#include "soft_keyboard_key.h"

#include <windowsx.h>

#include "dpi.h"
#include "text.h"

namespace brevant {
namespace {

constexpr COLORREF kFrame = RGB(96, 110, 140);
constexpr COLORREF kFace = RGB(246, 248, 252);
constexpr COLORREF kHoverFace = RGB(222, 234, 250);
constexpr COLORREF kSunkFace = RGB(172, 192, 224);
constexpr COLORREF kCaption = RGB(20, 30, 60);
constexpr int kCorner = 5;
constexpr int kFramePixels = 1;  // the frame pen's width
constexpr int kSmallFontPoints = 7;
constexpr int kPointsPerInch = 72;

}  // namespace

SoftKeyLook::SoftKeyLook()
    : frame_pen(CreatePen(PS_SOLID, kFramePixels, kFrame)),
      face_brush(CreateSolidBrush(kFace)),
      hover_brush(CreateSolidBrush(kHoverFace)),
      sunk_brush(CreateSolidBrush(kSunkFace)) {}

void SoftKeyLook::SetFonts(HWND keyboard) {
  font = reinterpret_cast<HFONT>(SendMessageW(keyboard, WM_GETFONT, 0, 0));
  LOGFONTW description = {};
  if (font == nullptr || GetObjectW(font, sizeof description, &description) == 0) return;
  description.lfHeight = -MulDiv(kSmallFontPoints, fw::WindowDpi(keyboard), kPointsPerInch);
  small_font.reset(CreateFontIndirectW(&description));
}

bool CSoftKeyButton::TakeOver(HWND button, const SoftKeyLook& look, ClickHandler on_click) {
  if (button == nullptr || !Subclass(button)) return false;
  look_ = &look;
  on_click_ = std::move(on_click);
  hover_.set_track_inactive(true);  // the keyboard is a child: never the active window itself
  return true;
}

void CSoftKeyButton::SetCaption(const std::string& caption) {
  if (Text() == caption) return;
  SetText(caption);
  FitCaption();
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void CSoftKeyButton::FitCaption() {
  if (look_ == nullptr || !look_->small_font) return;
  const auto small_font = static_cast<HFONT>(look_->small_font.get());
  const HFONT font = CaptionFits(look_->font) ? look_->font : small_font;
  if (reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)) != font)
    SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// The window text as it is, "&&" and all: what anyone measuring the key
// would measure.
bool CSoftKeyButton::CaptionFits(HFONT font) const {
  const fw::WindowDc dc(hwnd());
  if (!dc) return true;
  const fw::SavedDcState saved(dc.get());
  SelectObject(dc.get(), font);
  const std::wstring caption = fw::AnsiToWide(Text());
  SIZE extent = {};
  GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
  RECT client = {};
  GetClientRect(hwnd(), &client);
  return extent.cx <= client.right - 2 * kFramePixels && extent.cy <= client.bottom - 2 * kFramePixels;
}

void CSoftKeyButton::SetLatched(bool latched) {
  if (latched_ == latched) return;
  latched_ = latched;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void CSoftKeyButton::SetPressed(bool pressed) {
  if (pressed_ == pressed) return;
  pressed_ = pressed;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

bool CSoftKeyButton::PointerInside(LPARAM lparam) const {
  RECT client = {};
  GetClientRect(hwnd(), &client);
  const POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  return PtInRect(&client, point) != FALSE;
}

bool CSoftKeyButton::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // Not passed on: the button would take the focus from the PIN field.
      SetCapture(hwnd());
      SetPressed(true);
      return true;
    case WM_MOUSEMOVE:
      hover_.OnMouseMove(hwnd(), POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
      if (GetCapture() == hwnd()) SetPressed(PointerInside(lparam));
      return true;
    case WM_MOUSELEAVE:
      hover_.OnMouseLeave(hwnd());
      return true;
    case WM_LBUTTONUP: {
      const bool click = GetCapture() == hwnd() && PointerInside(lparam);
      if (GetCapture() == hwnd()) ReleaseCapture();
      SetPressed(false);
      if (click && on_click_) on_click_(GetDlgCtrlID(hwnd()));
      return true;
    }
    case WM_CAPTURECHANGED:
      SetPressed(false);
      return true;
    case WM_SETFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      return false;
    default:
      (void)wparam;
      return false;
  }
}

bool CSoftKeyButton::OnReflectedDrawItem(DRAWITEMSTRUCT& item) {
  if (look_ == nullptr) return false;
  const HDC dc = item.hDC;
  const fw::SavedDcState saved(dc);
  SelectButtonFont(hwnd(), dc);
  RECT rect = item.rcItem;
  FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
  const bool sunk = pressed_ || latched_;
  const fw::ScopedGdiObject& face = sunk ? look_->sunk_brush : hover_.hovered() ? look_->hover_brush : look_->face_brush;
  SelectObject(dc, look_->frame_pen.get());
  SelectObject(dc, face.get());
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, kCorner, kCorner);
  if (sunk) OffsetRect(&rect, 1, 1);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kCaption);
  const std::string caption = Text();  // "&&" is drawn as "&"
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  return true;
}

}  // namespace brevant
