#include "msn_wnd.h"

#include <cstdio>
#include <cstring>

#include "resource.h"
#include "text_cut.h"

namespace brevant {
namespace {

constexpr wchar_t kPopupClass[] = L"Brevant.MsnWnd";
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

CMsnWnd::CMsnWnd(const char* hint, const char* title)
    : picture_(LoadImageW(Program(), MAKEINTRESOURCEW(IDB_POPUP_BACKGROUND), IMAGE_BITMAP, 0, 0, 0)) {
  BITMAP description = {};
  if (picture_ && GetObjectW(picture_.get(), sizeof description, &description) != 0) {
    width_ = description.bmWidth;
    height_ = description.bmHeight;
  }
  std::snprintf(caption_, sizeof caption_, "%s ", hint != nullptr ? hint : "");
  CopyCut(title_, title != nullptr ? title : "");
}

CMsnWnd::~CMsnWnd() { StopRunningTimer(); }

void CMsnWnd::ShowMessage(const char* text) {
  StopRunningTimer();
  if (hwnd() != nullptr) Destroy();
  fw::RegisterWindowClass(kPopupClass, 0, LoadCursorW(Program(), MAKEINTRESOURCEW(IDC_POPUP_HAND)),
                          reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BACKGROUND + 1)));
  Create(kPopupClass, title_, WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, RECT{}, nullptr);
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
      if (visible_height_ <= height_ - kStepPixels) {
        visible_height_ += kStepPixels;
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
      if (visible_height_ >= kStepPixels) {
        visible_height_ -= kStepPixels;
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
  LOGFONTA face = {};
  face.lfHeight = -MulDiv(kFontPoints, GetDeviceCaps(dc, LOGPIXELSY), 72);
  face.lfWeight = FW_NORMAL;
  face.lfCharSet = DEFAULT_CHARSET;
  CopyCut(face.lfFaceName, "Arial");
  const fw::ScopedGdiObject font(CreateFontIndirectA(&face));
  const HGDIOBJ previous_font = SelectObject(dc, font.get());
  SetTextColor(dc, kTextColour);
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, kCaptionX, kCaptionY, caption_, static_cast<int>(std::strlen(caption_)));
  RECT text = {kTextLeft, kTextTop, client.right - kTextRightMargin, client.bottom};
  DrawTextA(dc, message_, -1, &text, DT_LEFT | DT_TOP | DT_VCENTER | DT_WORDBREAK);
  SelectObject(dc, previous_font);
}

}  // namespace brevant
