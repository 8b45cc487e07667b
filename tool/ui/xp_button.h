// The main window's push buttons: a flat light-blue face in a rounded grey
// frame, lit by dotted lines while the pointer is over it or it has the
// focus. It takes over an existing BUTTON control; its parent must be a
// fw::Window, which reflects the drawing request to it.
#pragma once
#include <windows.h>

#include <cstddef>

#include "owner_draw_button.h"
#include "scoped_gdi.h"
#include "window.h"

namespace brevant {

class CXPButton : public fw::Window {
 public:
  static constexpr std::size_t kCaptionChars = 260;
  static constexpr int kCornerSize = 5;
  static constexpr COLORREF kFrameColour = RGB(100, 100, 100);
  static constexpr COLORREF kDisabledFrameColour = RGB(128, 128, 128);
  static constexpr COLORREF kHoverFaceColour = RGB(223, 222, 236);
  static constexpr COLORREF kFaceColour = RGB(222, 223, 236);
  static constexpr COLORREF kHighlightColours[4] = {RGB(153, 198, 252), RGB(162, 201, 255), RGB(162, 189, 252),
                                                    RGB(162, 201, 255)};

  CXPButton();

  // Takes over `button` and makes it owner-drawn; false when it cannot.
  bool SubclassButton(HWND button);
  bool hovered() const { return hover_.hovered(); }

 protected:
  // Paints the face inside the frame.
  virtual void FillFace(HDC dc, const RECT& face);
  // Lights the face: called while the pointer is over the button or it has
  // the focus.
  virtual void DrawHighlight(HDC dc, const RECT& face);

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool OnReflectedDrawItem(DRAWITEMSTRUCT& item) override;

 private:
  void DrawCaption(HDC dc, const RECT& face, bool pressed, bool disabled) const;

  HoverTracker hover_;
  fw::ScopedGdiObject frame_pen_;
  fw::ScopedGdiObject disabled_frame_pen_;
  // Hover and focus each have their set, alike for now, so that either can
  // change without the other.
  fw::ScopedGdiObject hover_highlight_pens_[4];
  fw::ScopedGdiObject hover_face_brush_;
  fw::ScopedGdiObject face_brush_;
  fw::ScopedGdiObject focus_highlight_pens_[4];
};

}  // namespace brevant
