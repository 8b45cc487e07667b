#include "owner_draw_button.h"

namespace brevant {
namespace {

constexpr LONG_PTR kButtonTypeMask = 0x0F;  // BS_TYPEMASK, not in every SDK's headers

}  // namespace

UINT MakeOwnerDrawn(HWND button) {
  const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
  SetWindowLongPtrW(button, GWL_STYLE, (style & ~kButtonTypeMask) | BS_OWNERDRAW);
  InvalidateRect(button, nullptr, FALSE);
  return static_cast<UINT>(style & kButtonTypeMask);
}

void HoverTracker::OnMouseMove(HWND button, POINT client_point) {
  POINT screen = client_point;
  ClientToScreen(button, &screen);
  const bool over = WindowFromPoint(screen) == button;
  const bool active = track_inactive_ || GetActiveWindow() == GetAncestor(button, GA_ROOT);
  Set(button, over && active);
}

void HoverTracker::OnMouseLeave(HWND button) { Set(button, false); }

void HoverTracker::Set(HWND button, bool hovered) {
  if (hovered == hovered_) return;
  hovered_ = hovered;
  InvalidateRect(button, nullptr, FALSE);
  if (hovered) {
    // Without it the pointer could leave between two moves and the button
    // would stay lit.
    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, button, HOVER_DEFAULT};
    TrackMouseEvent(&track);
  }
}

void SelectButtonFont(HWND button, HDC dc) {
  if (const auto font = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0))) SelectObject(dc, font);
}

}  // namespace brevant
