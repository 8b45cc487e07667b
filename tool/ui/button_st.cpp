#include "button_st.h"

#include <shellapi.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "scoped_gdi.h"

namespace brevant {
namespace {

constexpr int kBorderWidth = 3;  // default frame and the two rings of the 3-D edge
constexpr int kIconGap = 4;

// A one-pixel ring, `top_left` colour on the lit sides and `bottom_right`
// on the others; `rect` shrinks by it.
void DrawRing(HDC dc, RECT& rect, int top_left, int bottom_right) {
  const HBRUSH lit = GetSysColorBrush(top_left), unlit = GetSysColorBrush(bottom_right);
  const RECT top = {rect.left, rect.top, rect.right - 1, rect.top + 1};
  const RECT left = {rect.left, rect.top, rect.left + 1, rect.bottom - 1};
  const RECT bottom = {rect.left, rect.bottom - 1, rect.right, rect.bottom};
  const RECT right = {rect.right - 1, rect.top, rect.right, rect.bottom};
  FillRect(dc, &top, lit);
  FillRect(dc, &left, lit);
  FillRect(dc, &bottom, unlit);
  FillRect(dc, &right, unlit);
  InflateRect(&rect, -1, -1);
}

}  // namespace

CButtonST::CButtonST()
    : colours_{GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE),
               GetSysColor(COLOR_BTNTEXT)} {}

bool CButtonST::SubclassButton(HWND button) {
  if (!Subclass(button)) return false;
  default_style_ = MakeOwnerDrawn(button) == BS_DEFPUSHBUTTON;
  return true;
}

void CButtonST::Repaint() const {
  if (hwnd() != nullptr) InvalidateRect(hwnd(), nullptr, FALSE);
}

bool CButtonST::SetIcon(HICON icon) {
  icon_ = nullptr;
  icon_width_ = icon_height_ = 0;
  Repaint();
  if (icon == nullptr) return true;
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return false;
  const fw::ScopedGdiObject colour(info.hbmColor), mask(info.hbmMask);
  // A monochrome icon has no colour bitmap: its mask holds the AND and the
  // XOR image one above the other.
  BITMAP bitmap = {};
  const HGDIOBJ source = colour ? colour.get() : mask.get();
  if (source == nullptr || GetObjectW(source, sizeof bitmap, &bitmap) == 0) return false;
  icon_ = icon;
  icon_width_ = bitmap.bmWidth;
  icon_height_ = colour ? bitmap.bmHeight : bitmap.bmHeight / 2;
  return true;
}

void CButtonST::SetFlat(bool flat) {
  flat_ = flat;
  Repaint();
}

void CButtonST::SetCheckBoxMode(bool check_box) {
  check_box_ = check_box;
  Repaint();
}

void CButtonST::SetChecked(bool checked) {
  checked_ = checked;
  Repaint();
}

void CButtonST::SetColours(const Colours& colours) {
  colours_ = colours;
  Repaint();
}

bool CButtonST::SetMenu(UINT menu_id, HWND target) {
  fw::ScopedMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(menu_id)));
  const bool loaded = menu.valid() && GetSubMenu(menu.get(), 0) != nullptr;
  menu_ = loaded ? std::move(menu) : fw::ScopedMenu();
  menu_target_ = loaded ? target : nullptr;
  return loaded;
}

bool CButtonST::SetAddress(const char* address) {
  const std::string_view text = address != nullptr ? address : "";
  if (text.size() >= kAddressBytes) return false;
  std::memcpy(address_, text.data(), text.size());
  address_[text.size()] = '\0';
  return true;
}

bool CButtonST::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_MOUSEMOVE:  // the control follows the pointer too (pressed while inside)
      hover_.OnMouseMove(hwnd(), {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
      break;
    case WM_MOUSELEAVE:
      hover_.OnMouseLeave(hwnd());
      break;
    case WM_LBUTTONDBLCLK:
      // An owner-drawn control takes a quick second click for a double click
      // and reports no click at all; here every click counts, as on a plain
      // push button (a check box would otherwise miss a toggle).
      result = DefaultHandling(WM_LBUTTONDOWN, wparam, lparam);
      return true;
    default:
      break;
  }
  return Window::OnMessage(message, wparam, lparam, result);
}

bool CButtonST::OnReflectedCommand(int code) {
  if (code == BN_CLICKED) OnClicked();
  return false;  // the parent hears of the click as well
}

void CButtonST::OnClicked() {
  if (check_box_) {
    checked_ = !checked_;
    Repaint();
  } else if (menu_) {
    ShowMenu();
  } else if (address_[0] != '\0') {
    OpenAddress();
  }
}

void CButtonST::ShowMenu() {
  const HMENU popup = GetSubMenu(menu_.get(), 0);
  RECT place = {};
  if (popup == nullptr || !GetWindowRect(hwnd(), &place)) return;
  menu_open_ = true;
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  TrackPopupMenuEx(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON, place.left, place.bottom,
                   menu_target_ != nullptr ? menu_target_ : GetParent(hwnd()), nullptr);
  menu_open_ = false;
  // A command may have closed the window while the menu was up.
  if (hwnd() != nullptr) RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CButtonST::OpenAddress() const {
  SHELLEXECUTEINFOA execute = {};
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_FLAG_NO_UI;
  execute.hwnd = hwnd();
  execute.lpVerb = "open";
  execute.lpFile = address_;
  execute.nShow = SW_SHOWMAXIMIZED;
  ShellExecuteExA(&execute);
}

bool CButtonST::OnReflectedDrawItem(DRAWITEMSTRUCT& item) {
  const UINT state = item.itemState;
  pressed_ = (state & ODS_SELECTED) != 0 || (check_box_ && checked_) || menu_open_;
  disabled_ = (state & ODS_DISABLED) != 0;
  default_ = (state & ODS_DEFAULT) != 0 || default_style_;
  focused_ = (state & ODS_FOCUS) != 0;

  const fw::SavedDcState saved(item.hDC);
  SelectButtonFont(hwnd(), item.hDC);
  DrawBackground(item.hDC, item.rcItem);
  DrawBorder(item.hDC, item.rcItem);
  RECT content = item.rcItem;
  InflateRect(&content, -kBorderWidth, -kBorderWidth);
  DrawContent(item.hDC, content);
  if (focused_ && !disabled_) DrawFocusRect(item.hDC, &content);
  return true;
}

void CButtonST::DrawBackground(HDC dc, const RECT& rect) {
  const fw::ScopedGdiObject brush(CreateSolidBrush(hovered() ? colours_.hover_face : colours_.face));
  FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void CButtonST::DrawBorder(HDC dc, const RECT& rect) {
  RECT ring = rect;
  if (default_) {
    FrameRect(dc, &ring, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&ring, -1, -1);
  }
  if (flat_) {
    // Flat: an edge only while the pointer is over it or it is down.
    if (pressed_)
      DrawRing(dc, ring, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
    else if (hovered())
      DrawRing(dc, ring, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
  } else if (pressed_) {
    DrawRing(dc, ring, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT);
    DrawRing(dc, ring, COLOR_BTNSHADOW, COLOR_3DLIGHT);
  } else {
    DrawRing(dc, ring, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW);
    DrawRing(dc, ring, COLOR_3DLIGHT, COLOR_BTNSHADOW);
  }
}

void CButtonST::DrawContent(HDC dc, const RECT& rect) const {
  wchar_t caption[kCaptionChars] = {};
  const int length = GetWindowTextW(hwnd(), caption, static_cast<int>(kCaptionChars));
  SIZE text = {};
  if (length > 0) GetTextExtentPoint32W(dc, caption, length, &text);
  const int gap = icon_ != nullptr && length > 0 ? kIconGap : 0;
  const int width = icon_width_ + gap + text.cx;
  const int shift = pressed_ ? 1 : 0;  // a pressed button's face moves with it
  int x = rect.left + (rect.right - rect.left - width) / 2 + shift;
  const int middle = (rect.top + rect.bottom) / 2 + shift;
  if (icon_ != nullptr) {
    const int y = middle - icon_height_ / 2;
    if (disabled_)
      DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon_), 0, x, y, icon_width_, icon_height_,
                 DST_ICON | DSS_DISABLED);
    else
      DrawIconEx(dc, x, y, icon_, icon_width_, icon_height_, 0, nullptr, DI_NORMAL);
    x += icon_width_ + gap;
  }
  if (length > 0) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, hovered() ? colours_.hover_text : colours_.text);
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption), static_cast<WPARAM>(length), x,
               middle - text.cy / 2, text.cx, text.cy, DST_TEXT | (disabled_ ? DSS_DISABLED : DSS_NORMAL));
  }
}

}  // namespace brevant
