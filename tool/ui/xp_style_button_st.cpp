#include "xp_style_button_st.h"

#include <string>

#include "scoped_handle.h"

namespace brevant {
namespace {

HANDLE WINAPI NoOpenThemeData(HWND, LPCWSTR) { return nullptr; }
HRESULT WINAPI NoDrawThemeBackground(HANDLE, HDC, int, int, const RECT*, const RECT*) { return E_NOTIMPL; }
HRESULT WINAPI NoCloseThemeData(HANDLE) { return E_NOTIMPL; }
BOOL WINAPI NoIsAppThemed() { return FALSE; }

template <typename Function>
Function Lookup(HMODULE library, const char* name, Function stand_in) {
  const FARPROC found = library != nullptr ? GetProcAddress(library, name) : nullptr;
  return found != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(found)) : stand_in;
}

// From the system folder only, never from wherever the search path leads.
HMODULE LoadThemeLibrary() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\UxTheme.dll";
  return LoadLibraryW(path.c_str());
}

struct LoadedThemes {
  LoadedThemes() : library(LoadThemeLibrary()) {
    const HMODULE module = library.get();
    functions = {Lookup(module, "OpenThemeData", &NoOpenThemeData),
                 Lookup(module, "DrawThemeBackground", &NoDrawThemeBackground),
                 Lookup(module, "CloseThemeData", &NoCloseThemeData), Lookup(module, "IsAppThemed", &NoIsAppThemed)};
  }
  fw::ScopedModule library;
  ThemeFunctions functions;
};

// Closes the theme data on every path.
class OpenTheme {
 public:
  OpenTheme(const ThemeFunctions& themes, HWND window)
      : themes_(themes), theme_(themes.open_theme_data(window, L"BUTTON")) {}
  OpenTheme(const OpenTheme&) = delete;
  OpenTheme& operator=(const OpenTheme&) = delete;
  ~OpenTheme() {
    if (theme_ != nullptr) themes_.close_theme_data(theme_);
  }
  HANDLE get() const { return theme_; }

 private:
  const ThemeFunctions& themes_;
  HANDLE theme_;
};

}  // namespace

const ThemeFunctions& SystemThemeFunctions() {
  static const LoadedThemes loaded;
  return loaded.functions;
}

const ThemeFunctions& MissingThemeFunctions() {
  static const ThemeFunctions missing = {&NoOpenThemeData, &NoDrawThemeBackground, &NoCloseThemeData, &NoIsAppThemed};
  return missing;
}

PushButtonState CXPStyleButtonST::ThemeState() const {
  if (is_disabled()) return PushButtonState::kDisabled;
  if (is_pressed()) return PushButtonState::kPressed;
  if (hovered()) return PushButtonState::kHot;
  if (is_default()) return PushButtonState::kDefault;
  return PushButtonState::kNormal;
}

void CXPStyleButtonST::DrawBackground(HDC dc, const RECT& rect) {
  theme_drew_ = false;
  if (themes_->is_app_themed()) {
    const OpenTheme theme(*themes_, hwnd());
    if (theme.get() != nullptr)
      theme_drew_ = SUCCEEDED(themes_->draw_theme_background(theme.get(), dc, kPushButtonPart,
                                                             static_cast<int>(ThemeState()), &rect, nullptr));
  }
  if (!theme_drew_) CButtonST::DrawBackground(dc, rect);
}

void CXPStyleButtonST::DrawBorder(HDC dc, const RECT& rect) {
  if (!theme_drew_) CButtonST::DrawBorder(dc, rect);
}

}  // namespace brevant
