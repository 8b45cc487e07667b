// Looking at the tool's windows at another DPI from a test process: the
// screen's DPI for the programs started next, and the texts of a window
// that do not fit their controls.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "scoped_gdi.h"
#include "text.h"

namespace brevant::testing {

// LogPixels where Wine reads it when a program starts; the values before
// are put back when this goes.
class ScopedScreenDpi {
 public:
  explicit ScopedScreenDpi(DWORD dpi) {
    for (Place& place : places_) {
      DWORD value = 0, size = sizeof value;
      if (RegGetValueW(place.root, place.path, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &value, &size) ==
          ERROR_SUCCESS)
        place.before = value;
      RegSetKeyValueW(place.root, place.path, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
  }
  ScopedScreenDpi(const ScopedScreenDpi&) = delete;
  ScopedScreenDpi& operator=(const ScopedScreenDpi&) = delete;
  ~ScopedScreenDpi() {
    for (const Place& place : places_) {
      if (place.before) RegSetKeyValueW(place.root, place.path, L"LogPixels", REG_DWORD, &*place.before, sizeof(DWORD));
      else RegDeleteKeyValueW(place.root, place.path, L"LogPixels");
    }
  }

 private:
  struct Place {
    HKEY root;
    const wchar_t* path;
    std::optional<DWORD> before;
  };
  Place places_[2] = {{HKEY_CURRENT_USER, L"Control Panel\\Desktop", {}},
                      {HKEY_CURRENT_CONFIG, L"Software\\Fonts", {}}};
};

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

inline std::wstring WideTextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

// The room `text` takes in `font`, on one line or broken into lines of at
// most `wrap_width` pixels.
inline SIZE TextRoom(HFONT font, const std::wstring& text, std::optional<int> wrap_width, UINT prefix_flag) {
  const fw::WindowDc screen(nullptr);
  const fw::SavedDcState saved(screen.get());
  SelectObject(screen.get(), font != nullptr ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  RECT room = {0, 0, wrap_width.value_or(0), 0};
  const UINT lines = wrap_width ? DT_WORDBREAK : DT_SINGLELINE;
  DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &room, DT_CALCRECT | lines | prefix_flag);
  return {room.right - room.left, room.bottom - room.top};
}

// A static text breaks into lines unless told not to; buttons and group
// boxes take one line. Pictures and frames carry no text to fit.
inline bool TextWraps(HWND control, bool& has_text) {
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  const std::wstring kind = ClassOf(control);
  has_text = true;
  if (kind == L"Static") {
    const LONG type = style & SS_TYPEMASK;
    if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP) has_text = false;
    return type != SS_LEFTNOWORDWRAP;
  }
  if (kind != L"Button") has_text = false;
  return false;
}

// "id: text (needs W x H, has W x H)" for each shown control of `window`
// whose text does not fit inside it, measured with the control's own font;
// `widths_only` leaves the heights alone.
inline std::vector<std::string> TextsThatDoNotFit(HWND window, bool widths_only = false) {
  std::vector<std::string> found;
  for (HWND control = GetWindow(window, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
    bool has_text = false;
    const bool wraps = TextWraps(control, has_text);
    const std::wstring text = WideTextOf(control);
    if (!has_text || text.empty() || !IsWindowVisible(control)) continue;
    RECT client = {};
    GetClientRect(control, &client);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    const UINT prefix = (ClassOf(control) == L"Static" && (GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX) != 0)
                            ? DT_NOPREFIX
                            : 0;
    const SIZE room = TextRoom(font, text, wraps ? std::optional<int>(client.right) : std::nullopt, prefix);
    if (room.cx <= client.right && (widths_only || room.cy <= client.bottom)) continue;
    found.push_back(std::to_string(GetDlgCtrlID(control)) + ": " + fw::WideToUtf8(text) + " (needs " +
                    std::to_string(room.cx) + " x " + std::to_string(room.cy) + ", has " +
                    std::to_string(client.right) + " x " + std::to_string(client.bottom) + ")");
  }
  return found;
}

// Memory in another process, for messages that carry a pointer.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, SIZE_T size)
      : process_(process), at_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  ~RemoteBuffer() {
    if (at_ != nullptr) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
  }
  template <typename T>
  bool Write(const T& value) {
    return at_ != nullptr && WriteProcessMemory(process_, at_, &value, sizeof value, nullptr);
  }
  template <typename T>
  bool Read(T& value) const {
    return at_ != nullptr && ReadProcessMemory(process_, at_, &value, sizeof value, nullptr);
  }
  LPARAM lparam() const { return reinterpret_cast<LPARAM>(at_); }

 private:
  HANDLE process_;
  void* at_;
};

// The visible items of a tree in another process whose text runs past the
// tree's right edge.
inline std::vector<std::string> TreeItemsThatDoNotFit(HWND tree, HANDLE process) {
  std::vector<std::string> found;
  RemoteBuffer remote(process, sizeof(RECT));
  RECT client = {};
  GetClientRect(tree, &client);
  for (auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
       item != nullptr;
       item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE,
                                                       reinterpret_cast<LPARAM>(item)))) {
    RECT rect = {};
    std::memcpy(&rect, &item, sizeof item);  // in: the item; out: its text's rectangle
    if (!remote.Write(rect) || !SendMessageW(tree, TVM_GETITEMRECT, TRUE, remote.lparam()) || !remote.Read(rect)) {
      found.push_back("an item the tree cannot place");
      continue;
    }
    if (rect.top >= client.bottom) break;
    if (rect.right > client.right)
      found.push_back("item ending at " + std::to_string(rect.right) + " of " + std::to_string(client.right));
  }
  return found;
}

// Tells a window of another process that it was moved to a screen of `dpi`,
// with the place Windows would suggest there.
inline void TellDpiChanged(HWND window, HANDLE process, int dpi, const RECT& suggested) {
  RemoteBuffer remote(process, sizeof(RECT));
  if (remote.Write(suggested)) SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), remote.lparam());
}

}  // namespace brevant::testing
