// What the tool's skinned buttons share: taking over a push button as an
// owner-drawn one, following the pointer over it, the font it was given.
#pragma once
#include <windows.h>

namespace brevant {

// Gives `button` the owner-draw type, keeping its other styles. Returns the
// type it had (BS_PUSHBUTTON, BS_DEFPUSHBUTTON, ...): the owner-draw type
// replaces the default-button type, so a caller that cares must keep it.
UINT MakeOwnerDrawn(HWND button);

// The hover state of one button. Hover begins on a mouse move when the
// pointer is really over the button (not over a window lying on it) and the
// button's window is the active one, unless inactive windows are tracked
// too; it ends on WM_MOUSELEAVE, which it asks for. Every change repaints.
class HoverTracker {
 public:
  void OnMouseMove(HWND button, POINT client_point);
  void OnMouseLeave(HWND button);
  bool hovered() const { return hovered_; }
  void set_track_inactive(bool track) { track_inactive_ = track; }
  bool track_inactive() const { return track_inactive_; }

 private:
  void Set(HWND button, bool hovered);

  bool hovered_ = false;
  bool track_inactive_ = false;
};

// Selects the font the button was given (WM_SETFONT) into `dc`, if any;
// restoring is left to an fw::SavedDcState.
void SelectButtonFont(HWND button, HDC dc);

}  // namespace brevant
