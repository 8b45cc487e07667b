// A tooltip for the controls of a dialog that shows texts in the tooltip
// markup inside a rounded outline with a pointing tail and a shadow, over a
// filled or effect background, appearing after a delay and fading in and
// out. The client relays its messages through RelayEvent.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "cexdib.h"
#include "draw_effects.h"
#include "html_drawer.h"
#include "scoped_gdi.h"
#include "tooltip_geometry.h"
#include "window.h"

namespace brevant {

// One registered tool. The owner may change `text` when it is told the tip
// is about to show.
struct PPToolInfo {
  HWND window = nullptr;
  std::string text;
  int transparency = 0;  // percent, once shown
};

// Sent to the owner (WM_NOTIFY, code kDisplayNotification) before the text
// is measured.
struct PPToolTipDisplay {
  NMHDR header;
  POINT point;  // the mouse, in screen coordinates
  PPToolInfo* tool;
};

// Sent to the owner (WM_NOTIFY, code kLinkNotification) when a link that
// carries a message is clicked.
struct PPToolTipLink {
  NMHDR header;
  const char* message;
};

class CPPToolTip : public fw::Window {
 public:
  static constexpr UINT kDisplayNotification = 0x464;
  static constexpr UINT kLinkNotification = 0x465;
  enum Timer : UINT_PTR { kShowTimer = 0x100, kHideTimer = 0x101, kFadeInTimer = 0x102, kFadeOutTimer = 0x103,
                          kAnimationTimer = 0x104 };
  enum State { kHidden = 0, kAppearing = 1, kShown = 2, kDisappearing = 3 };
  static constexpr int kFadeStep = 20;

  CPPToolTip();
  ~CPPToolTip() override;

  bool Create(HWND parent);
  void AddTool(HWND control, const std::string& text);
  void RelayEvent(const MSG& message);
  // Shows `text` at once with its tail at `point` (screen); it stays until
  // HideTooltip.
  void ShowHelpTooltip(POINT point, const std::string& text);
  void HideTooltip();

  void SetBorder(COLORREF colour, int width = 1, int height = 1);
  void SetColorBk(COLORREF start, COLORREF middle, COLORREF end);
  void SetEffectBk(int effect);
  void SetShadow(int dx, int dy, int darkness_percent = 50);
  void SetTransparency(int percent);
  void SetAutoPopTime(UINT ms) { auto_pop_ms_ = ms; }
  void SetInitialTime(UINT ms) { initial_ms_ = ms; }
  void SetFadeInTime(UINT ms) { fade_in_ms_ = ms; }
  void SetFadeOutTime(UINT ms) { fade_out_ms_ = ms; }
  // Redraws animated pictures this often while shown; 0 stops.
  void SetAnimationPeriod(UINT ms);

  State state() const { return state_; }
  int transparency() const { return transparency_; }
  bool help_shown() const { return help_ && state_ != kHidden; }
  // The text on show, as the owner left it.
  const std::string& shown_text() const { return shown_.text; }
  const TooltipGeometry& geometry() const { return geometry_; }

 protected:
  bool OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 private:
  int ToolAt(POINT screen) const;
  void StartShowDelay();
  void Show();
  void Display(POINT point);
  void FinishHiding();
  void Render();
  void ApplyTransparency();
  void FollowLinkAt(POINT screen);

  HWND owner_ = nullptr;
  std::vector<PPToolInfo> tools_;
  int current_ = -1;     // the tool under the mouse
  int shown_tool_ = -1;  // the tool the tip shows, -1 for a help tip
  PPToolInfo shown_;
  bool help_ = false;
  POINT last_mouse_ = {-1, -1};
  POINT delay_mouse_ = {-1, -1};  // where the mouse was when the delay began
  State state_ = kHidden;
  int transparency_ = 0;
  int transparency_default_ = 0;  // for tools added later and help tips

  UINT initial_ms_ = 500, auto_pop_ms_ = 5000, fade_in_ms_ = 0, fade_out_ms_ = 0, animation_ms_ = 0;
  COLORREF background_[3];
  int effect_ = kEffectSolid;
  fw::ScopedGdiObject border_brush_;
  int border_width_ = 1, border_height_ = 1;
  int shadow_darkness_ = 50;
  TooltipShape shape_;        // at 96 DPI
  TooltipShape shown_shape_;  // at the DPI of the tooltip shown

  CPPHtmlDrawer drawer_;
  TooltipGeometry geometry_;
  CCeXDib backdrop_;  // the screen behind the window, for the shadow
  CCeXDib canvas_;    // what the window shows
};

}  // namespace brevant
