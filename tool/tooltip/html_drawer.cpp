#include "html_drawer.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "registry.h"
#include "scoped_handle.h"

namespace brevant {

namespace {

RECT Placed(const HtmlRect& rect, POINT origin) {
  return {rect.left + origin.x, rect.top + origin.y, rect.right + origin.x, rect.bottom + origin.y};
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  fw::ScopedGdiObject brush(CreateSolidBrush(colour));
  if (brush) FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

// One line from (x1, y1) to (x2, y2), the end point not drawn.
void Line(HDC dc, int pen_style, COLORREF colour, int width, int x1, int y1, int x2, int y2) {
  fw::ScopedGdiObject pen(CreatePen(pen_style, width, colour));
  if (!pen) return;
  const HGDIOBJ previous = SelectObject(dc, pen.get());
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  SelectObject(dc, previous);
}

// A frame one pixel wide: top and left in `light`, bottom and right in
// `dark`.
void Frame(HDC dc, const RECT& r, int pen_style, COLORREF light, COLORREF dark) {
  if (r.right - r.left < 1 || r.bottom - r.top < 1) return;
  Line(dc, pen_style, light, 1, r.left, r.bottom - 1, r.left, r.top);
  Line(dc, pen_style, light, 1, r.left, r.top, r.right - 1, r.top);
  Line(dc, pen_style, dark, 1, r.right - 1, r.top, r.right - 1, r.bottom - 1);
  Line(dc, pen_style, dark, 1, r.right - 1, r.bottom - 1, r.left, r.bottom - 1);
}

RECT Inset(RECT r, int by) { return {r.left + by, r.top + by, r.right - by, r.bottom - by}; }

// Tiles a bitmap over `rect`.
void Tile(HDC dc, HBITMAP bitmap, const RECT& rect) {
  BITMAP description = {};
  if (GetObjectW(bitmap, sizeof description, &description) == 0 || description.bmWidth <= 0 ||
      description.bmHeight <= 0)
    return;
  fw::ScopedMemoryDc source(CreateCompatibleDC(dc));
  if (!source) return;
  const HGDIOBJ previous = SelectObject(source.get(), bitmap);
  for (int y = rect.top; y < rect.bottom; y += description.bmHeight)
    for (int x = rect.left; x < rect.right; x += description.bmWidth)
      BitBlt(dc, x, y, std::min<int>(description.bmWidth, rect.right - x),
             std::min<int>(description.bmHeight, rect.bottom - y), source.get(), 0, 0, SRCCOPY);
  SelectObject(source.get(), previous);
}

// The program registered for ".htm" files, started with the address.
bool OpenWithHtmProgram(const std::string& address) {
  CRegistry registry(HKEY_CLASSES_ROOT);
  std::string file_class, command;
  if (!registry.Open(HKEY_CLASSES_ROOT, ".htm", false) || !registry.ReadString("", file_class) || file_class.empty())
    return false;
  if (!registry.Open(HKEY_CLASSES_ROOT, file_class + "\\shell\\open\\command", false) ||
      !registry.ReadString("", command))
    return false;
  std::string line = HtmOpenCommand(command, address);
  if (line.empty()) return false;
  std::vector<char> writable(line.begin(), line.end());
  writable.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  fw::ScopedHandle thread(process.hThread), started(process.hProcess);
  return true;
}

}  // namespace

CPPHtmlDrawer::CPPHtmlDrawer()
    : sheet_(ParseStyleSheet(BuiltInStyleSheet())), resources_(GetModuleHandleW(nullptr)) {}

void CPPHtmlDrawer::SetStyleSheet(const std::string& text) { sheet_ = ParseStyleSheet(text); }

void CPPHtmlDrawer::SetColourless(bool on, COLORREF colour) {
  colourless_ = on;
  colourless_colour_ = colour;
}

void CPPHtmlDrawer::SetShadow(int dx, int dy, int darkness_percent) {
  shadow_.dx = dx;
  shadow_.dy = dy;
  shadow_.darkness = std::clamp(darkness_percent, 0, 100);
}

HtmlLayoutOptions CPPHtmlDrawer::Options(int width_limit, bool fill) const {
  HtmlLayoutOptions options;
  options.width_limit = std::max(width_limit, 0);
  options.fill_width = fill;
  options.hovered_link = hovered_link_;
  options.shadow_dx = shadow_.dx;
  options.shadow_dy = shadow_.dy;
  return options;
}

SIZE CPPHtmlDrawer::Measure(HDC dc, const std::string& text, int width_limit) {
  GdiHtmlDevice device(dc, resources_);
  const HtmlLayout layout = LayoutHtml(text, sheet_, device, Options(width_limit, false));
  return {layout.size.width, layout.size.height};
}

void CPPHtmlDrawer::Draw(HDC dc, const std::string& text, const RECT& rect) {
  const fw::SavedDcState saved(dc);
  IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  GdiHtmlDevice device(dc, resources_);  // gone before the state comes back
  last_ = LayoutHtml(text, sheet_, device, Options(rect.right - rect.left, true));
  last_origin_ = {rect.left, rect.top};
  DrawItems(device, last_origin_);
}

void CPPHtmlDrawer::DrawItems(GdiHtmlDevice& device, POINT origin) {
  HDC dc = device.dc();
  for (const HtmlItem& item : last_.items) {
    if (const auto* text = std::get_if<HtmlTextItem>(&item)) {
      DrawRun(device, *text, Placed(text->rect, origin));
    } else if (const auto* rule = std::get_if<HtmlRuleItem>(&item)) {
      FillSolid(dc, Placed(rule->rect, origin), Colour(rule->colour));
    } else if (const auto* picture = std::get_if<HtmlPictureItem>(&item)) {
      DrawPicture(device, *picture, Placed(picture->rect, origin));
    } else if (const auto* box = std::get_if<HtmlBoxItem>(&item)) {
      DrawBox(device, *box, Placed(box->rect, origin));
    }
  }
}

void CPPHtmlDrawer::DrawRun(GdiHtmlDevice& device, const HtmlTextItem& text, const RECT& rect) {
  HDC dc = device.dc();
  device.SelectFont(text.font);
  SetTextColor(dc, Colour(text.colour));
  SetBkMode(dc, text.opaque && !colourless_ ? OPAQUE : TRANSPARENT);
  SetBkColor(dc, text.background);
  SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  TextOutA(dc, rect.left, rect.top, text.text.data(), static_cast<int>(text.text.size()));
  if (text.overline)
    Line(dc, PS_SOLID, Colour(text.colour), text.font.weight > 699 ? 2 : 1, rect.left, rect.top, rect.right, rect.top);
}

void CPPHtmlDrawer::DrawBox(GdiHtmlDevice& device, const HtmlBoxItem& box, const RECT& rect) {
  HDC dc = device.dc();
  const HtmlBackground& background = box.background;
  if (!colourless_) {
    if (background.effect == kEffectTransparent) {
      if (!box.background_picture.empty())
        if (HBITMAP picture = device.LoadBackground(box.background_picture)) Tile(dc, picture, rect);
    } else {
      draw_manager_.FillEffect(dc, background.effect, rect, background.start, background.middle, background.end);
    }
  }
  const HtmlBorder& border = box.border;
  if (border.style == kBorderNone || border.width <= 0) return;
  const COLORREF light = Colour(border.light), dark = Colour(border.dark);
  switch (border.style) {
    case kBorderDashed: Frame(dc, rect, PS_DASH, light, dark); break;
    case kBorderDotted: Frame(dc, rect, PS_DOT, light, dark); break;
    case kBorderDouble:
      Frame(dc, rect, PS_SOLID, light, dark);
      Frame(dc, Inset(rect, 2), PS_SOLID, light, dark);
      break;
    default:
      for (int i = 0; i < border.width; ++i) Frame(dc, Inset(rect, i), PS_SOLID, light, dark);
      break;
  }
}

void CPPHtmlDrawer::DrawPicture(GdiHtmlDevice& device, const HtmlPictureItem& item,
                                const RECT& rect) {
  const GdiHtmlDevice::Picture* picture = device.LoadPicture(item.picture);
  if (picture == nullptr) return;
  HDC dc = device.dc();
  const bool hot = item.link >= 0 && item.link == hovered_link_;
  unsigned style = hot ? item.hot_style : item.style;
  if (colourless_) style |= kPictureDisabled;
  PictureShadow shadow;
  if (hot ? item.hot_shadow : item.shadow) shadow = shadow_;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (picture->icon != nullptr) {
    draw_manager_.DrawIcon(dc, rect.left, rect.top, width, height, picture->icon, style, shadow);
    return;
  }
  if (picture->source_x == 0 && picture->width > 0) {
    BITMAP description = {};
    GetObjectW(picture->bitmap, sizeof description, &description);
    if (description.bmWidth == picture->width && description.bmHeight == picture->height) {
      draw_manager_.DrawBitmap(dc, rect.left, rect.top, width, height, picture->bitmap, item.use_mask, item.mask,
                               style, shadow);
      return;
    }
  }
  // One cell of an image list: copied out of the strip first.
  fw::ScopedMemoryDc source(CreateCompatibleDC(dc)), cell_dc(CreateCompatibleDC(dc));
  fw::ScopedGdiObject cell(CreateCompatibleBitmap(dc, picture->width, picture->height));
  if (!source || !cell_dc || !cell) return;
  const HGDIOBJ previous_source = SelectObject(source.get(), picture->bitmap);
  const HGDIOBJ previous_cell = SelectObject(cell_dc.get(), cell.get());
  // An animated list shows the cell of the moment; the tooltip redraws it
  // on its animation timer.
  const int frame = picture->speed_ms > 0 && picture->frames > 1
                        ? static_cast<int>(GetTickCount() / static_cast<DWORD>(picture->speed_ms) % picture->frames)
                        : 0;
  BitBlt(cell_dc.get(), 0, 0, picture->width, picture->height, source.get(),
         picture->source_x + frame * picture->width, 0, SRCCOPY);
  SelectObject(cell_dc.get(), previous_cell);
  SelectObject(source.get(), previous_source);
  draw_manager_.DrawBitmap(dc, rect.left, rect.top, width, height, static_cast<HBITMAP>(cell.get()), item.use_mask,
                           item.mask, style, shadow);
}

int CPPHtmlDrawer::LinkAt(POINT point) const { return last_.LinkAt(point.x - last_origin_.x, point.y - last_origin_.y); }

bool CPPHtmlDrawer::SetHoveredLink(int link) {
  if (link == hovered_link_) return false;
  hovered_link_ = link;
  return true;
}

bool CPPHtmlDrawer::FollowLink(int link) {
  if (link < 0 || link >= static_cast<int>(last_.links.size())) return false;
  // A copy: the handler and the shell may pump messages, and a redraw
  // replaces the layout the link came from.
  const HtmlLink target = last_.links[link];
  if (target.kind == 2) {
    if (on_message_) on_message_(target.target);
    return true;
  }
  const HINSTANCE result = ShellExecuteA(nullptr, "open", target.target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) > 32) return true;
  return OpenWithHtmProgram(target.target);
}

}  // namespace brevant
