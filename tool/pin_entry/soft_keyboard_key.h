// One key of the soft keyboard: an owner-drawn button that never takes the
// focus, so that the PIN field keeps it while keys are clicked. It looks
// raised, lit while the pointer is over it, and sunk while it is held down
// or latched (Shift, Ctrl, Alt). Releasing the mouse over the key reports
// the click.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "owner_draw_button.h"
#include "scoped_gdi.h"
#include "window.h"

namespace brevant {

// The pens, brushes and fonts all keys of one keyboard draw with.
struct SoftKeyLook {
  SoftKeyLook();
  // Takes the keyboard's font (the dialog's) and makes the smaller one like
  // it at the keyboard's DPI; once the keyboard's window exists, before any
  // caption is set.
  void SetFonts(HWND keyboard);

  fw::ScopedGdiObject frame_pen, face_brush, hover_brush, sunk_brush;
  HFONT font = nullptr;            // the dialog manager's: it frees it
  fw::ScopedGdiObject small_font;  // for a caption the key cannot hold in `font`
};

class CSoftKeyButton : public fw::Window {
 public:
  using ClickHandler = std::function<void(int id)>;

  // Takes over the owner-drawn `button`; `look` outlives the key.
  bool TakeOver(HWND button, const SoftKeyLook& look, ClickHandler on_click);
  // Changes the window text (and the drawing) only when it differs. The key
  // shows it in the keyboard's font, or in the small one when it would not
  // fit inside the key's frame.
  void SetCaption(const std::string& caption);
  void SetLatched(bool latched);
  bool latched() const { return latched_; }

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool OnReflectedDrawItem(DRAWITEMSTRUCT& item) override;

 private:
  bool PointerInside(LPARAM lparam) const;
  void SetPressed(bool pressed);
  void FitCaption();
  bool CaptionFits(HFONT font) const;

  const SoftKeyLook* look_ = nullptr;
  ClickHandler on_click_;
  HoverTracker hover_;
  bool pressed_ = false;
  bool latched_ = false;
};

}  // namespace brevant
