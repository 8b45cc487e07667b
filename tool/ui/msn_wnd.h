// The popup that slides up out of the lower right corner of the work area
// to tell the user of an event, stays five seconds and slides back down.
// The pointer over it holds it; a left click closes it. One object serves
// every message: each ShowMessage makes a fresh window, the object stays.
//
// The program is DPI aware: the popup shows the background drawn for its
// window's DPI (the largest picture scale not above it) and sizes itself to
// that picture; caption, text and font are placed at the picture's DPI, so
// they sit on the picture as they do at 100 %. The picture is chosen again
// with every new window and when Windows moves the window to another DPI.
#pragma once
#include <windows.h>

#include <cstddef>

#include "dpi.h"
#include "scoped_gdi.h"
#include "window.h"

namespace brevant {

class CMsnWnd : public fw::Window {
 public:
  // Timers, all of this window; one runs at a time.
  static constexpr UINT_PTR kRiseTimer = 10;
  static constexpr UINT_PTR kFallTimer = 11;
  static constexpr UINT_PTR kStayTimer = 12;
  static constexpr UINT kStepMs = 10;
  static constexpr int kStepPixels = 2;  // at 100 %; scaled with the picture
  static constexpr UINT kStayMs = 5000;
  static constexpr UINT kStayAfterLeaveMs = 3000;
  static constexpr std::size_t kMessageBytes = 1024;

  // `hint` heads the popup (followed by one blank); `title` is the window's
  // text. Both are copied.
  CMsnWnd(const char* hint, const char* title);
  ~CMsnWnd() override;

  // Starts a new presentation from the bottom, discarding a window still
  // up. The caller then shows and repaints the window. A text too long for
  // the buffer is cut at a character boundary.
  void ShowMessage(const char* text);

  // Draws the picture, caption and text over `client`.
  void Paint(HDC dc, const RECT& client) const;

  // Where caption and text go, at the picture's DPI.
  POINT CaptionOrigin() const;
  RECT TextRect(const RECT& client) const;
  // The text font (9 points at the picture's DPI); null when GDI refuses.
  fw::ScopedGdiObject CreateTextFont() const;

  SIZE picture_size() const { return {width_, height_}; }
  // The DPI the shown picture was drawn for (96 for the 100 % picture).
  int picture_dpi() const { return picture_dpi_; }
  int visible_height() const { return visible_height_; }
  // How far one rise or fall step moves: the same time to rise at any scale.
  int step_pixels() const { return step_pixels_; }
  // The timer that drives the current phase and the period it was started
  // with; 0 when none runs.
  UINT_PTR running_timer() const { return running_timer_; }
  UINT running_period() const { return running_period_; }
  const char* message_text() const { return message_; }
  const char* caption() const { return caption_; }

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool OnTimer(UINT_PTR id) override;

 private:
  // Loads the background drawn for `dpi` unless it is the one held; keeps
  // the held one when the load fails.
  void PickPicture(int dpi);
  void OnDpiChanged(int dpi);
  void StartRunningTimer(UINT_PTR id, UINT period_ms);
  void StopRunningTimer();
  // Places the window `visible_height_` above the work area's bottom.
  void MoveToHeight(int window_height) const;
  void OnMouseMove(POINT point);
  void OnMouseLeave();

  fw::ScopedGdiObject picture_;
  int width_ = 0;
  int height_ = 0;
  int picture_dpi_ = fw::kDefaultDpi;
  int step_pixels_ = kStepPixels;
  bool hover_ = false;
  int visible_height_ = 0;
  UINT_PTR running_timer_ = 0;
  UINT running_period_ = 0;
  char message_[kMessageBytes] = {};
  char caption_[256] = {};
  char title_[260] = {};
};

}  // namespace brevant
