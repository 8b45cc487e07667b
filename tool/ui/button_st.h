// An owner-drawn push button: lit while the pointer is over it, an icon
// beside its caption, optionally flat, a check box, a menu button or a link.
// It takes over an existing BUTTON control; its parent must be a
// fw::Window, which reflects the drawing request and the click to it.
#pragma once
#include <windows.h>

#include <cstddef>

#include "owner_draw_button.h"
#include "scoped_gdi.h"
#include "window.h"

namespace brevant {

class CButtonST : public fw::Window {
 public:
  static constexpr std::size_t kAddressBytes = 260;
  static constexpr std::size_t kCaptionChars = 260;

  struct Colours {
    COLORREF face, text, hover_face, hover_text;
  };

  CButtonST();

  // Takes over `button` and makes it owner-drawn; false when it cannot.
  bool SubclassButton(HWND button);

  // The button draws `icon` (the caller keeps it alive) at the size of the
  // icon's own bitmaps; null removes it. False when the icon cannot be read.
  bool SetIcon(HICON icon);
  void SetFlat(bool flat);
  // A check box toggles its checked state on each click and looks pressed
  // while checked.
  void SetCheckBoxMode(bool check_box);
  void SetChecked(bool checked);
  // A click opens the first popup of menu resource `menu_id` below the
  // button; its commands go to `target`. False (and no menu) when the
  // resource is missing.
  bool SetMenu(UINT menu_id, HWND target);
  // A click opens `address` in the shell; an empty one clears it. An address
  // too long for the buffer is refused: a shortened one would lead elsewhere.
  bool SetAddress(const char* address);
  void SetColours(const Colours& colours);
  void SetTrackInactive(bool track) { hover_.set_track_inactive(track); }

  bool checked() const { return checked_; }
  bool hovered() const { return hover_.hovered(); }
  SIZE icon_size() const { return {icon_width_, icon_height_}; }
  const char* address() const { return address_; }

 protected:
  // Called in this order for each drawing, with the flags of the request
  // already taken.
  virtual void DrawBackground(HDC dc, const RECT& rect);
  virtual void DrawBorder(HDC dc, const RECT& rect);

  bool is_pressed() const { return pressed_; }
  bool is_disabled() const { return disabled_; }
  bool is_default() const { return default_; }
  bool is_focused() const { return focused_; }
  bool is_flat() const { return flat_; }

  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool OnReflectedCommand(int code) override;
  bool OnReflectedDrawItem(DRAWITEMSTRUCT& item) override;

 private:
  void Repaint() const;
  void OnClicked();
  void ShowMenu();
  void OpenAddress() const;
  void DrawContent(HDC dc, const RECT& rect) const;

  HoverTracker hover_;
  bool flat_ = false;
  bool check_box_ = false;
  bool checked_ = false;
  bool menu_open_ = false;
  bool default_style_ = false;  // a default push button before it was taken over
  // From the drawing request.
  bool pressed_ = false;
  bool disabled_ = false;
  bool default_ = false;
  bool focused_ = false;

  fw::ScopedMenu menu_;
  HWND menu_target_ = nullptr;
  char address_[kAddressBytes] = {};
  HICON icon_ = nullptr;
  int icon_width_ = 0;
  int icon_height_ = 0;
  Colours colours_;
};

}  // namespace brevant
