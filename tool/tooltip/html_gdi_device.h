// The tooltip markup's device on a GDI device context: fonts made at the
// context's resolution (kept while the device lives), pictures loaded from
// resources, libraries, files or handles, string resources.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "html_device.h"
#include "scoped_gdi.h"

namespace brevant {

class GdiHtmlDevice : public HtmlDevice {
 public:
  // `resources`: where `idres` pictures and strings come from.
  GdiHtmlDevice(HDC dc, HINSTANCE resources);
  ~GdiHtmlDevice() override;
  GdiHtmlDevice(const GdiHtmlDevice&) = delete;
  GdiHtmlDevice& operator=(const GdiHtmlDevice&) = delete;

  int TextWidth(const HtmlFont& font, std::string_view text) override;
  HtmlFontMetrics Metrics(const HtmlFont& font) override;
  HtmlSize PictureSize(const HtmlPicture& picture) override;
  std::string ResourceString(const std::map<std::string, std::string>& params) override;
  int Dpi() override;
  HtmlColour SystemColour(int index) override;
  bool IsLeadByte(unsigned char byte) override;

  HDC dc() const { return dc_; }
  // The font, selected into the device context.
  void SelectFont(const HtmlFont& font);

  // A loaded picture: a bitmap or an icon, and for image lists the cell.
  struct Picture {
    HBITMAP bitmap = nullptr;
    HICON icon = nullptr;
    fw::ScopedGdiObject owned_bitmap;  // loaded here, released with the device
    fw::ScopedIcon owned_icon;
    int width = 0;       // of the picture (image lists: of one cell)
    int height = 0;
    int source_x = 0;    // image lists: the cell's place in the strip
    int frames = 1;      // image lists with a `speed`: cells from `index` on,
    int speed_ms = 0;    // shown one after the other this often
  };
  // Nothing when it cannot be loaded.
  const Picture* LoadPicture(const HtmlPicture& picture);
  // A bitmap by file name or resource id, for backgrounds.
  HBITMAP LoadBackground(const std::string& name);

 private:
  HMODULE Library(const std::string& file);

  HDC dc_;
  HINSTANCE resources_;
  HGDIOBJ original_font_ = nullptr;
  struct CachedFont {
    HtmlFont description;
    fw::ScopedGdiObject handle;
    bool measured = false;
    HtmlFontMetrics metrics;
  };
  CachedFont& Cached(const HtmlFont& font);
  std::vector<CachedFont> fonts_;
  std::vector<std::pair<HtmlPicture, Picture>> pictures_;
  std::map<std::string, fw::ScopedModule> libraries_;
};

}  // namespace brevant
