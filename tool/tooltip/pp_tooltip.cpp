#include "pp_tooltip.h"

#include <algorithm>

#include "dpi.h"

namespace brevant {

namespace {

constexpr wchar_t kToolTipClass[] = L"CPPToolTip";
constexpr int kTipBelowCursor = 16;  // a mouse tip points just below the pointer

bool SamePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

HtmlRect WorkArea() {
  RECT area = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return {area.left, area.top, area.right, area.bottom};
}

// The outline in window coordinates, shifted by (dx, dy).
HRGN Outline(const TooltipGeometry& geometry, const TooltipShape& shape, int dx, int dy) {
  const HtmlRect& body = geometry.body;
  HRGN outline = CreateRoundRectRgn(body.left + dx, body.top + dy, body.right + dx + 1, body.bottom + dy + 1,
                                    shape.corner, shape.corner);
  POINT tail[3];
  for (int i = 0; i < 3; ++i) tail[i] = {geometry.tail[i].x + dx, geometry.tail[i].y + dy};
  // The tail overlaps the body by a pixel so that no seam shows.
  const int overlap = geometry.tail_below ? -1 : 1;
  tail[0].y += overlap;
  tail[1].y += overlap;
  fw::ScopedGdiObject tail_region(CreatePolygonRgn(tail, 3, WINDING));
  if (outline != nullptr && tail_region) CombineRgn(outline, outline, static_cast<HRGN>(tail_region.get()), RGN_OR);
  return outline;
}

}  // namespace

CPPToolTip::CPPToolTip() {
  background_[0] = background_[1] = background_[2] = GetSysColor(COLOR_INFOBK);
  border_brush_.reset(CreateSolidBrush(GetSysColor(COLOR_INFOTEXT)));
  fw::RegisterWindowClass(kToolTipClass, CS_SAVEBITS, LoadCursorA(nullptr, IDC_ARROW));
  drawer_.SetShadow(shape_.shadow_dx, shape_.shadow_dy, shadow_darkness_);
  drawer_.SetMessageHandler([this](std::string message) {  // a copy, for the same reason as the link's
    PPToolTipLink link = {};
    link.header.hwndFrom = hwnd();
    link.header.code = kLinkNotification;
    link.message = message.c_str();
    if (owner_ != nullptr) SendMessageW(owner_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
  });
}

CPPToolTip::~CPPToolTip() = default;

bool CPPToolTip::Create(HWND parent) {
  owner_ = parent;
  return fw::Window::Create(kToolTipClass, "", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, RECT{}, parent);
}

void CPPToolTip::AddTool(HWND control, const std::string& text) {
  for (PPToolInfo& tool : tools_)
    if (tool.window == control) {
      tool.text = text;
      return;
    }
  PPToolInfo tool;
  tool.window = control;
  tool.text = text;
  tool.transparency = transparency_default_;
  tools_.push_back(std::move(tool));
}

void CPPToolTip::SetBorder(COLORREF colour, int width, int height) {
  border_brush_.reset(CreateSolidBrush(colour));
  border_width_ = std::max(width, 0);
  border_height_ = std::max(height, 0);
}

void CPPToolTip::SetColorBk(COLORREF start, COLORREF middle, COLORREF end) {
  background_[0] = start;
  background_[1] = middle;
  background_[2] = end;
}

void CPPToolTip::SetEffectBk(int effect) { effect_ = effect; }

void CPPToolTip::SetShadow(int dx, int dy, int darkness_percent) {
  shape_.shadow_dx = std::clamp(dx, 0, 50);
  shape_.shadow_dy = std::clamp(dy, 0, 50);
  shadow_darkness_ = std::clamp(darkness_percent, 0, 100);
  drawer_.SetShadow(shape_.shadow_dx, shape_.shadow_dy, shadow_darkness_);
}

void CPPToolTip::SetTransparency(int percent) {
  transparency_default_ = std::clamp(percent, 0, 100);
  for (PPToolInfo& tool : tools_) tool.transparency = transparency_default_;
}

void CPPToolTip::SetAnimationPeriod(UINT ms) {
  animation_ms_ = ms;
  StopTimer(kAnimationTimer);
  if (ms != 0 && state_ != kHidden) StartTimer(kAnimationTimer, ms);
}

int CPPToolTip::ToolAt(POINT screen) const {
  if (owner_ == nullptr) return -1;
  for (std::size_t i = 0; i < tools_.size(); ++i) {
    HWND control = tools_[i].window;
    if (!IsWindow(control) || !IsWindowVisible(control)) continue;
    RECT rect = {};
    GetWindowRect(control, &rect);
    if (PtInRect(&rect, screen)) return static_cast<int>(i);
  }
  return -1;
}

void CPPToolTip::RelayEvent(const MSG& message) {
  if (hwnd() == nullptr) return;
  if (message.message == WM_LBUTTONDOWN && message.hwnd == hwnd()) {
    if (state_ == kShown) FollowLinkAt(message.pt);
    return;
  }
  if (message.message != WM_MOUSEMOVE || message.hwnd == hwnd()) return;
  if (help_shown() || SamePoint(message.pt, last_mouse_)) return;
  last_mouse_ = message.pt;
  const int tool = ToolAt(message.pt);
  if (tool == current_) return;  // the same tool keeps its tip
  current_ = tool;
  HideTooltip();
  if (state_ == kHidden) StartShowDelay();
}

void CPPToolTip::StartShowDelay() {
  StopTimer(kShowTimer);
  if (current_ < 0) return;
  delay_mouse_ = last_mouse_;
  StartTimer(kShowTimer, initial_ms_);
}

void CPPToolTip::ShowHelpTooltip(POINT point, const std::string& text) {
  StopTimer(kShowTimer);
  StopTimer(kHideTimer);
  StopTimer(kFadeInTimer);
  StopTimer(kFadeOutTimer);
  if (state_ != kHidden) {
    ShowWindow(hwnd(), SW_HIDE);
    state_ = kHidden;
  }
  help_ = true;
  shown_tool_ = -1;
  shown_ = PPToolInfo();
  shown_.text = text;
  shown_.transparency = transparency_default_;
  Display(point);
}

void CPPToolTip::Show() {
  StopTimer(kShowTimer);
  if (!SamePoint(last_mouse_, delay_mouse_)) {
    // The mouse did not rest: wait for it to.
    HideTooltip();
    if (state_ == kHidden) StartShowDelay();
    return;
  }
  if (state_ != kHidden || current_ < 0 || current_ >= static_cast<int>(tools_.size())) return;
  help_ = false;
  shown_tool_ = current_;
  shown_ = tools_[current_];
  Display({last_mouse_.x, last_mouse_.y + fw::ScaleToDpi(kTipBelowCursor, fw::WindowDpi(hwnd()))});
}

void CPPToolTip::Display(POINT point) {
  state_ = kAppearing;
  PPToolTipDisplay display = {};
  display.header.hwndFrom = hwnd();
  display.header.idFrom = shown_.window != nullptr ? static_cast<UINT_PTR>(GetDlgCtrlID(shown_.window)) : 0;
  display.header.code = kDisplayNotification;
  display.point = last_mouse_;
  display.tool = &shown_;
  if (owner_ != nullptr) SendMessageW(owner_, WM_NOTIFY, display.header.idFrom, reinterpret_cast<LPARAM>(&display));
  if (state_ != kAppearing) return;  // the owner hid it meanwhile

  SIZE text = {};
  if (const fw::WindowDc screen(nullptr); screen) text = drawer_.Measure(screen.get(), shown_.text);
  shown_shape_ = ScaledShape(shape_, fw::WindowDpi(hwnd()));
  geometry_ = PlaceTooltip({text.cx, text.cy}, {point.x, point.y}, WorkArea(), shown_shape_);
  const HtmlRect& window = geometry_.window;
  const int width = window.right - window.left, height = window.bottom - window.top;
  backdrop_.Create(width, height);
  if (const fw::WindowDc screen(nullptr); screen) backdrop_.CopyFrom(screen.get(), window.left, window.top);
  Render();
  fw::ScopedGdiObject region(Outline(geometry_, shown_shape_, 0, 0));
  const auto outline = static_cast<HRGN>(region.get());
  if (region && (shown_shape_.shadow_dx != 0 || shown_shape_.shadow_dy != 0)) {
    const fw::ScopedGdiObject shadow(
        Outline(geometry_, shown_shape_, shown_shape_.shadow_dx, shown_shape_.shadow_dy));
    if (shadow) CombineRgn(outline, outline, static_cast<HRGN>(shadow.get()), RGN_OR);
  }
  if (region && SetWindowRgn(hwnd(), outline, FALSE) != 0) region.release();  // the window owns it now

  const bool fade = fade_in_ms_ != 0;
  transparency_ = fade ? 100 : shown_.transparency;
  ApplyTransparency();
  SetWindowPos(hwnd(), HWND_TOPMOST, window.left, window.top, width, height,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(hwnd(), nullptr, FALSE);
  if (animation_ms_ != 0) StartTimer(kAnimationTimer, animation_ms_);
  if (fade) {
    StartTimer(kFadeInTimer, fade_in_ms_);
    return;
  }
  state_ = kShown;
  if (!help_) StartTimer(kHideTimer, auto_pop_ms_);
}

void CPPToolTip::HideTooltip() {
  StopTimer(kShowTimer);
  StopTimer(kHideTimer);
  StopTimer(kFadeInTimer);
  if (state_ == kDisappearing || state_ == kHidden) return;
  state_ = kDisappearing;
  if (fade_out_ms_ != 0) {
    StartTimer(kFadeOutTimer, fade_out_ms_);
    return;
  }
  transparency_ = 100;
  FinishHiding();
}

void CPPToolTip::FinishHiding() {
  StopTimer(kFadeOutTimer);
  StopTimer(kAnimationTimer);
  ShowWindow(hwnd(), SW_HIDE);
  state_ = kHidden;
  help_ = false;
  if (current_ >= 0 && current_ != shown_tool_) StartShowDelay();
  shown_tool_ = -1;
}

bool CPPToolTip::OnTimer(UINT_PTR id) {
  switch (id) {
    case kShowTimer: Show(); return true;
    case kHideTimer:
      if (!help_) HideTooltip();
      else StopTimer(kHideTimer);
      return true;
    case kFadeInTimer:
      if (state_ != kAppearing) {
        StopTimer(kFadeInTimer);
        return true;
      }
      transparency_ = std::max(transparency_ - kFadeStep, shown_.transparency);
      ApplyTransparency();
      if (transparency_ <= shown_.transparency) {
        StopTimer(kFadeInTimer);
        state_ = kShown;
        if (!help_) StartTimer(kHideTimer, auto_pop_ms_);
      }
      return true;
    case kFadeOutTimer:
      transparency_ = std::min(transparency_ + kFadeStep, 100);
      ApplyTransparency();
      if (transparency_ >= 100) FinishHiding();
      return true;
    case kAnimationTimer:
      if (state_ == kHidden) {
        StopTimer(kAnimationTimer);
        return true;
      }
      Render();
      InvalidateRect(hwnd(), nullptr, FALSE);
      return true;
    default: return false;
  }
}

void CPPToolTip::ApplyTransparency() {
  const LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_EXSTYLE);
  if (transparency_ <= 0) {
    if (style & WS_EX_LAYERED) SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, style & ~WS_EX_LAYERED);
    return;
  }
  if (!(style & WS_EX_LAYERED)) SetWindowLongPtrW(hwnd(), GWL_EXSTYLE, style | WS_EX_LAYERED);
  SetLayeredWindowAttributes(hwnd(), 0, static_cast<BYTE>(255 * (100 - transparency_) / 100), LWA_ALPHA);
}

// The screen behind, darkened where the shadow falls; the background in the
// outline; the text; the border along the outline.
void CPPToolTip::Render() {
  const HtmlRect& window = geometry_.window;
  if (!canvas_.Create(window.right - window.left, window.bottom - window.top)) return;
  HDC dc = canvas_.dc();
  if (backdrop_.valid()) backdrop_.Draw(dc, 0, 0);
  fw::ScopedGdiObject outline(Outline(geometry_, shown_shape_, 0, 0));
  if (!outline) return;
  const HRGN outline_region = static_cast<HRGN>(outline.get());
  if ((shown_shape_.shadow_dx != 0 || shown_shape_.shadow_dy != 0) && backdrop_.valid()) {
    CCeXDib shadow;
    if (shadow.Create(canvas_.width(), canvas_.height())) {
      backdrop_.Draw(shadow.dc(), 0, 0);
      Darken(shadow.Pixels(), shadow_darkness_);
      fw::ScopedGdiObject shadow_region(
          Outline(geometry_, shown_shape_, shown_shape_.shadow_dx, shown_shape_.shadow_dy));
      if (shadow_region) {
        CombineRgn(static_cast<HRGN>(shadow_region.get()), static_cast<HRGN>(shadow_region.get()), outline_region,
                   RGN_DIFF);
        SelectClipRgn(dc, static_cast<HRGN>(shadow_region.get()));
        shadow.Draw(dc, 0, 0);
        SelectClipRgn(dc, nullptr);
      }
    }
  }
  RECT bounds = {};
  GetRgnBox(outline_region, &bounds);
  SelectClipRgn(dc, outline_region);
  CPPDrawManager().FillEffect(dc, effect_, bounds, background_[0], background_[1], background_[2]);
  const HtmlRect& text = geometry_.text;
  drawer_.Draw(dc, shown_.text, RECT{text.left, text.top, text.right, text.bottom});
  SelectClipRgn(dc, nullptr);
  if (border_brush_ && border_width_ > 0 && border_height_ > 0)
    FrameRgn(dc, outline_region, static_cast<HBRUSH>(border_brush_.get()), border_width_, border_height_);
}

void CPPToolTip::FollowLinkAt(POINT screen) {
  POINT point = screen;
  ScreenToClient(hwnd(), &point);
  const int link = drawer_.LinkAt(point);
  if (link >= 0) drawer_.FollowLink(link);
}

bool CPPToolTip::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_PAINT: {
      const fw::PaintDc dc(hwnd());
      if (dc && canvas_.valid()) canvas_.Draw(dc.get(), 0, 0);
      result = 0;
      return true;
    }
    case WM_ERASEBKGND: result = 1; return true;
    case WM_MOUSEACTIVATE: result = MA_NOACTIVATE; return true;
    case WM_MOUSEMOVE: {
      const POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      if (state_ == kShown && drawer_.SetHoveredLink(drawer_.LinkAt(point))) {
        Render();
        InvalidateRect(hwnd(), nullptr, FALSE);
      }
      return false;
    }
    case WM_SETCURSOR: {
      POINT point = {};
      GetCursorPos(&point);
      ScreenToClient(hwnd(), &point);
      if (drawer_.LinkAt(point) < 0) return false;
      SetCursor(LoadCursorA(nullptr, IDC_HAND));
      result = TRUE;
      return true;
    }
    default: break;
  }
  return fw::Window::OnMessage(message, wparam, lparam, result);
}

}  // namespace brevant
