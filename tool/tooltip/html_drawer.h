// Measures and draws a text in the tooltip markup on a device context, and
// says which link lies under a point of what it drew last.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "draw_effects.h"
#include "draw_manager.h"
#include "html_gdi_device.h"
#include "html_layout.h"

namespace brevant {

class CPPHtmlDrawer {
 public:
  CPPHtmlDrawer();

  // Replaces the built-in style sheet.
  void SetStyleSheet(const std::string& text);
  // Colourless drawing, for a disabled look: text, rules and borders all in
  // `colour`, no backgrounds.
  void SetColourless(bool on, COLORREF colour = GetSysColor(COLOR_GRAYTEXT));
  // Offsets of pictures' shadows; 0 and 0: pictures get none.
  void SetShadow(int dx, int dy, int darkness_percent);
  // Where `idres` pictures and strings are loaded from (default: the
  // program).
  void SetResources(HINSTANCE module) { resources_ = module; }
  // Receives the message text of a link of kind 2.
  void SetMessageHandler(std::function<void(const std::string&)> handler) { on_message_ = std::move(handler); }

  // The size the text needs; `width_limit` 0: no limit.
  SIZE Measure(HDC dc, const std::string& text, int width_limit = 0);
  // Draws the text into `rect`, lines aligned within its width.
  void Draw(HDC dc, const std::string& text, const RECT& rect);

  // The link under a point of the last drawing (its device coordinates), -1
  // for none.
  int LinkAt(POINT point) const;
  // The link the mouse is over, drawn hovered at the next Draw; true when
  // that changes.
  bool SetHoveredLink(int link);
  // Follows a link of the last drawing: an address opened with the shell
  // (else with the program registered for ".htm"), a message handed to the
  // message handler. False when there was nothing to follow.
  bool FollowLink(int link);

 private:
  HtmlLayoutOptions Options(int width_limit, bool fill) const;
  void DrawItems(GdiHtmlDevice& device, POINT origin);
  void DrawBox(GdiHtmlDevice& device, const HtmlBoxItem& box, const RECT& rect);
  void DrawRun(GdiHtmlDevice& device, const HtmlTextItem& text, const RECT& rect);
  void DrawPicture(GdiHtmlDevice& device, const HtmlPictureItem& picture, const RECT& rect);
  COLORREF Colour(COLORREF colour) const { return colourless_ ? colourless_colour_ : colour; }

  StyleSheet sheet_;
  bool colourless_ = false;
  COLORREF colourless_colour_ = 0;
  PictureShadow shadow_;
  HINSTANCE resources_;
  int hovered_link_ = -1;
  HtmlLayout last_;
  POINT last_origin_ = {};
  CPPDrawManager draw_manager_;
  std::function<void(const std::string&)> on_message_;
};

}  // namespace brevant
