#include "html_gdi_device.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace brevant {
namespace {

constexpr int kPointsPerInch = 72;
constexpr std::size_t kMaxCachedFonts = 64;
constexpr std::size_t kMaxCachedPictures = 64;

std::string Param(const std::map<std::string, std::string>& params, const char* name) {
  const auto param = params.find(name);
  return param == params.end() ? std::string() : param->second;
}

// A number as markup writes it: decimal, or hexadecimal after "0x".
std::optional<unsigned long long> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  unsigned long long value = 0;
  const char* first = text.data() + (hex ? 2 : 0);
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

std::optional<int> SmallNumber(const std::string& text) {
  const auto value = Number(text);
  if (!value || *value > 0xFFFF) return std::nullopt;
  return static_cast<int>(*value);
}

HtmlSize BitmapSize(HBITMAP bitmap) {
  BITMAP description = {};
  if (GetObjectW(bitmap, sizeof description, &description) == 0) return {};
  return {description.bmWidth, description.bmHeight};
}

}  // namespace

GdiHtmlDevice::GdiHtmlDevice(HDC dc, HINSTANCE resources) : dc_(dc), resources_(resources) {
  original_font_ = GetCurrentObject(dc_, OBJ_FONT);
}

// The fonts, pictures and libraries go after the original font is back.
GdiHtmlDevice::~GdiHtmlDevice() { SelectObject(dc_, original_font_); }

GdiHtmlDevice::CachedFont& GdiHtmlDevice::Cached(const HtmlFont& font) {
  for (CachedFont& cached : fonts_)
    if (cached.description == font) return cached;
  if (fonts_.size() >= kMaxCachedFonts) {
    SelectObject(dc_, original_font_);
    fonts_.clear();
  }
  LOGFONTA description = {};
  description.lfHeight = -MulDiv(font.points, Dpi(), kPointsPerInch);
  description.lfWeight = font.weight;
  description.lfItalic = font.italic ? TRUE : FALSE;
  description.lfUnderline = font.underline ? TRUE : FALSE;
  description.lfStrikeOut = font.strikeout ? TRUE : FALSE;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfQuality = DEFAULT_QUALITY;
  const std::size_t length = std::min(font.face.size(), static_cast<std::size_t>(LF_FACESIZE - 1));
  font.face.copy(description.lfFaceName, length);
  CachedFont& cached = fonts_.emplace_back();
  cached.description = font;
  cached.handle.reset(CreateFontIndirectA(&description));
  return cached;
}

void GdiHtmlDevice::SelectFont(const HtmlFont& font) {
  const CachedFont& cached = Cached(font);
  if (cached.handle) SelectObject(dc_, cached.handle.get());
}

int GdiHtmlDevice::TextWidth(const HtmlFont& font, std::string_view text) {
  if (text.empty()) return 0;
  SelectFont(font);
  SIZE size = {};
  const int length = static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF));
  return GetTextExtentPoint32A(dc_, text.data(), length, &size) ? size.cx : 0;
}

HtmlFontMetrics GdiHtmlDevice::Metrics(const HtmlFont& font) {
  CachedFont& cached = Cached(font);
  if (cached.measured) return cached.metrics;
  if (cached.handle) SelectObject(dc_, cached.handle.get());
  TEXTMETRICA metrics = {};
  if (!GetTextMetricsA(dc_, &metrics)) return {};
  HtmlFontMetrics result{metrics.tmAscent, metrics.tmDescent, metrics.tmAscent / 2};
  GLYPHMETRICS glyph = {};
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  if (GetGlyphOutlineA(dc_, 'x', GGO_METRICS, &glyph, 0, nullptr, &identity) != GDI_ERROR && glyph.gmBlackBoxY > 0)
    result.x_height = static_cast<int>(glyph.gmBlackBoxY);
  cached.measured = true;
  cached.metrics = result;
  return result;
}

HMODULE GdiHtmlDevice::Library(const std::string& file) {
  if (file.empty()) return nullptr;
  const auto found = libraries_.find(file);
  if (found != libraries_.end()) return found->second.get();
  fw::ScopedModule& library = libraries_[file];
  library.reset(LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  return library.get();
}

const GdiHtmlDevice::Picture* GdiHtmlDevice::LoadPicture(const HtmlPicture& wanted) {
  for (const auto& [description, picture] : pictures_)
    if (description == wanted) return picture.width > 0 ? &picture : nullptr;
  if (pictures_.size() >= kMaxCachedPictures) return nullptr;

  const auto& params = wanted.params;
  const bool icon = wanted.kind == 18;
  const UINT type = icon ? IMAGE_ICON : IMAGE_BITMAP;
  const int icon_width = icon ? GetSystemMetrics(SM_CXICON) : 0;
  const int icon_height = icon ? GetSystemMetrics(SM_CYICON) : 0;
  Picture picture;
  HANDLE handle = nullptr;
  const auto number = Number(Param(params, "handle"));
  if (number) {
    handle = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(*number));
  } else {
    const std::string file = Param(params, "file");
    const auto idres = SmallNumber(Param(params, "idres"));
    const auto iddll = SmallNumber(Param(params, "iddll"));
    if (!file.empty())
      handle = LoadImageA(nullptr, file.c_str(), type, icon_width, icon_height, LR_LOADFROMFILE);
    else if (iddll)
      if (HMODULE library = Library(Param(params, "srcdll")))
        handle = LoadImageA(library, MAKEINTRESOURCEA(*iddll), type, icon_width, icon_height, 0);
    if (handle == nullptr && idres)
      handle = LoadImageA(resources_, MAKEINTRESOURCEA(*idres), type, icon_width, icon_height, 0);
  }
  if (icon) {
    picture.icon = static_cast<HICON>(handle);
    if (!number) picture.owned_icon.reset(picture.icon);  // a handle given by number stays its owner's
    ICONINFO info = {};
    if (picture.icon != nullptr && GetIconInfo(picture.icon, &info)) {
      const fw::ScopedGdiObject colour(info.hbmColor), mask(info.hbmMask);
      const HtmlSize size = BitmapSize(info.hbmMask);
      picture.width = size.width;
      picture.height = colour ? size.height : size.height / 2;
    }
  } else {
    picture.bitmap = static_cast<HBITMAP>(handle);
    if (!number) picture.owned_bitmap.reset(picture.bitmap);
    const HtmlSize size = picture.bitmap != nullptr ? BitmapSize(picture.bitmap) : HtmlSize{};
    picture.width = size.width;
    picture.height = size.height;
    if (wanted.kind == 19 && size.width > 0) {  // one cell of an image list
      const int cx = SmallNumber(Param(params, "cx")).value_or(size.height);
      const int cy = SmallNumber(Param(params, "cy")).value_or(size.height);
      const int index = SmallNumber(Param(params, "index")).value_or(0);
      if (cx <= 0 || cy <= 0 || static_cast<long long>(index + 1) * cx > size.width) {
        picture.width = 0;
      } else {
        picture.source_x = index * cx;
        picture.width = cx;
        picture.speed_ms = SmallNumber(Param(params, "speed")).value_or(0);
        picture.frames = picture.speed_ms > 0 ? size.width / cx - index : 1;
        picture.height = std::min(cy, size.height);
      }
    }
  }
  const bool usable = picture.width > 0 && picture.height > 0;
  pictures_.emplace_back(wanted, std::move(picture));
  return usable ? &pictures_.back().second : nullptr;
}

HBITMAP GdiHtmlDevice::LoadBackground(const std::string& name) {
  HtmlPicture picture;
  picture.kind = 17;
  if (SmallNumber(name)) picture.params["idres"] = name;
  else picture.params["file"] = name;
  const Picture* loaded = LoadPicture(picture);
  return loaded != nullptr ? loaded->bitmap : nullptr;
}

HtmlSize GdiHtmlDevice::PictureSize(const HtmlPicture& picture) {
  const Picture* loaded = LoadPicture(picture);
  return loaded != nullptr ? HtmlSize{loaded->width, loaded->height} : HtmlSize{};
}

std::string GdiHtmlDevice::ResourceString(const std::map<std::string, std::string>& params) {
  HINSTANCE module = resources_;
  std::optional<int> id = SmallNumber(Param(params, "idres"));
  if (const auto iddll = SmallNumber(Param(params, "iddll"))) {
    if (HMODULE library = Library(Param(params, "srcdll"))) {
      module = library;
      id = iddll;
    }
  }
  if (!id) return {};
  char text[1024] = {};
  const int length = LoadStringA(module, static_cast<UINT>(*id), text, static_cast<int>(sizeof text));
  return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

int GdiHtmlDevice::Dpi() {
  const int dpi = GetDeviceCaps(dc_, LOGPIXELSY);
  return dpi > 0 ? dpi : 96;
}

HtmlColour GdiHtmlDevice::SystemColour(int index) { return GetSysColor(index); }

bool GdiHtmlDevice::IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

}  // namespace brevant
