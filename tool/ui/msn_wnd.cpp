#include "msn_wnd.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "dpi.h"
#include "picture_resources.h"
#include "picture_scales.h"
#include "resource.h"
#include "text_cut.h"

namespace brevant {
namespace {

constexpr wchar_t kPopupClass[] = L"Brevant.MsnWnd";
// Pixels of the 100 % picture; at other scales they are scaled as the
// picture is. The caption sits in the picture's title band, right of its key;
// the text starts below the band.
constexpr int kCaptionX = 30, kCaptionY = 10;
constexpr int kTextLeft = 5, kTextTop = 40, kTextRightMargin = 5;
constexpr int kFontPoints = 9;
constexpr COLORREF kTextColour = RGB(0, 64, 128);

HINSTANCE Program() { return GetModuleHandleW(nullptr); }

RECT WorkArea() {
  RECT area = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

}  // namespace

CMsnWnd::CMsnWnd(const char* hint, const char* title) {
  // No window yet: the screen's DPI until the first window tells its own.
  PickPicture(fw::SystemDpi());
  std::snprintf(caption_, sizeof caption_, "%s ", hint != nullptr ? hint : "");
  CopyCut(title_, title != nullptr ? title : "");
}

CMsnWnd::~CMsnWnd() { StopRunningTimer(); }

void CMsnWnd::PickPicture(int dpi) {
  const int scale = PictureScaleFor(dpi);
  if (picture_ && PictureDpi(scale) == picture_dpi_) return;
  fw::ScopedGdiObject picture(
      LoadImageW(Program(), MAKEINTRESOURCEW(PopupBackgroundFor(scale)), IMAGE_BITMAP, 0, 0, 0));
  BITMAP description = {};
  if (!picture || GetObjectW(picture.get(), sizeof description, &description) == 0) return;
  picture_ = std::move(picture);
  width_ = description.bmWidth;
  height_ = description.bmHeight;
  picture_dpi_ = PictureDpi(scale);
  step_pixels_ = fw::ScaleToDpi(kStepPixels, picture_dpi_);
}

void CMsnWnd::ShowMessage(const char* text) {
  StopRunningTimer();
  if (hwnd() != nullptr) Destroy();
  fw::RegisterWindowClass(kPopupClass, 0, LoadCursorW(Program(), MAKEINTRESOURCEW(IDC_POPUP_HAND)),
                          reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BACKGROUND + 1)));
  Create(kPopupClass, title_, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, RECT{}, nullptr);
  // The screen's scale may have changed since the last window.
  if (hwnd() != nullptr) PickPicture(fw::WindowDpi(hwnd()));
  // Cut rather than refused: showing the previous text would tell of an
  // event that did not happen.
  CopyCut(message_, text != nullptr ? text : "");
  hover_ = false;
  visible_height_ = 0;
  StartRunningTimer(kRiseTimer, kStepMs);
}

void CMsnWnd::StartRunningTimer(UINT_PTR id, UINT period_ms) {
  // A window that could not be made has no timer: the popup then simply
  // never shows, and nothing claims a timer is running.
  const bool started = StartTimer(id, period_ms);
  running_timer_ = started ? id : 0;
  running_period_ = started ? period_ms : 0;
}

void CMsnWnd::StopRunningTimer() {
  if (running_timer_ != 0) StopTimer(running_timer_);
  running_timer_ = 0;
  running_period_ = 0;
}

void CMsnWnd::MoveToHeight(int window_height) const {
  const RECT area = WorkArea();
  const int x = area.right - width_ - area.left;
  const int y = (area.bottom - area.top) - visible_height_;
  MoveWindow(hwnd(), x, y, width_, window_height, TRUE);
}

bool CMsnWnd::OnTimer(UINT_PTR id) {
  switch (id) {
    case kRiseTimer:
      if (visible_height_ <= height_ - step_pixels_) {
        visible_height_ += step_pixels_;
        // Full height while rising: the part below the work area lies over
        // the task bar.
        MoveToHeight(height_);
        InvalidateRect(hwnd(), nullptr, FALSE);
      } else {
        StopRunningTimer();
        StartRunningTimer(kStayTimer, kStayMs);
      }
      return true;
    case kStayTimer:
      StopRunningTimer();
      StartRunningTimer(kFallTimer, kStepMs);
      return true;
    case kFallTimer:
      if (visible_height_ >= step_pixels_) {
        visible_height_ -= step_pixels_;
        MoveToHeight(visible_height_);  // shrinks, bottom edge on the work area's bottom
      } else {
        StopRunningTimer();
        Destroy();
      }
      return true;
    default:
      return false;
  }
}

void CMsnWnd::OnDpiChanged(int dpi) {
  const int old_height = height_;
  RECT place = {};
  GetWindowRect(hwnd(), &place);
  // Rising, held or staying the window has the picture's full height;
  // falling it has the part still visible.
  const bool full_height = place.bottom - place.top >= old_height;
  PickPicture(dpi);
  if (old_height > 0 && height_ != old_height) visible_height_ = MulDiv(visible_height_, height_, old_height);
  if (visible_height_ > height_) visible_height_ = height_;
  MoveToHeight(full_height ? height_ : visible_height_);
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void CMsnWnd::OnMouseMove(POINT point) {
  RECT client = {};
  GetClientRect(hwnd(), &client);
  if (!PtInRect(&client, point)) return;
  hover_ = true;
  StopRunningTimer();
  if (HCURSOR hand = LoadCursorW(Program(), MAKEINTRESOURCEW(IDC_POPUP_HAND))) {
    SetCursor(hand);
    ShowCursor(TRUE);
  }
  TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd(), HOVER_DEFAULT};
  TrackMouseEvent(&track);
}

void CMsnWnd::OnMouseLeave() {
  if (hover_) {
    hover_ = false;
    StartRunningTimer(kStayTimer, kStayAfterLeaveMs);
  }
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
  ShowCursor(TRUE);
}

bool CMsnWnd::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_MOUSEMOVE:
      OnMouseMove({static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
      result = 0;
      return true;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      result = 1;
      return true;
    case WM_DPICHANGED:
      // Our place follows the work area's corner, not the rectangle Windows
      // suggests.
      OnDpiChanged(LOWORD(wparam));
      result = 0;
      return true;
    case WM_LBUTTONDOWN:
      StopRunningTimer();
      Destroy();
      result = 0;
      return true;
    case WM_PAINT: {
      const fw::PaintDc dc(hwnd());
      RECT client = {};
      GetClientRect(hwnd(), &client);
      if (dc) Paint(dc.get(), client);
      result = 0;
      return true;
    }
    default:
      return Window::OnMessage(message, wparam, lparam, result);
  }
}

void CMsnWnd::Paint(HDC dc, const RECT& client) const {
  if (picture_) {
    const fw::ScopedMemoryDc source(CreateCompatibleDC(dc));
    const HGDIOBJ previous = SelectObject(source.get(), picture_.get());
    StretchBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top, source.get(), 0, 0, width_,
               height_, SRCCOPY);
    SelectObject(source.get(), previous);
  }
  const fw::ScopedGdiObject font = CreateTextFont();
  const HGDIOBJ previous_font = font ? SelectObject(dc, font.get()) : nullptr;
  SetTextColor(dc, kTextColour);
  SetBkMode(dc, TRANSPARENT);
  const POINT caption = CaptionOrigin();
  TextOutA(dc, caption.x, caption.y, caption_, static_cast<int>(std::strlen(caption_)));
  RECT text = TextRect(client);
  DrawTextA(dc, message_, -1, &text, DT_LEFT | DT_TOP | DT_VCENTER | DT_WORDBREAK);
  if (previous_font != nullptr) SelectObject(dc, previous_font);
}

POINT CMsnWnd::CaptionOrigin() const {
  return {fw::ScaleToDpi(kCaptionX, picture_dpi_), fw::ScaleToDpi(kCaptionY, picture_dpi_)};
}

RECT CMsnWnd::TextRect(const RECT& client) const {
  return {client.left + fw::ScaleToDpi(kTextLeft, picture_dpi_), client.top + fw::ScaleToDpi(kTextTop, picture_dpi_),
          client.right - fw::ScaleToDpi(kTextRightMargin, picture_dpi_), client.bottom};
}

fw::ScopedGdiObject CMsnWnd::CreateTextFont() const {
  // At the picture's DPI, not the screen's: the text keeps its place on the
  // picture between two scales (at 175 % the 150 % picture and font).
  LOGFONTA face = {};
  face.lfHeight = -MulDiv(kFontPoints, picture_dpi_, 72);
  face.lfWeight = FW_NORMAL;
  face.lfCharSet = DEFAULT_CHARSET;
  CopyCut(face.lfFaceName, "Arial");
  return fw::ScopedGdiObject(CreateFontIndirectA(&face));
}

}  // namespace brevant
