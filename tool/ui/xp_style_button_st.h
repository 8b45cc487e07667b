// CButtonST with the platform's visual style: where the application is
// themed, the theme draws the push button's background and edge; elsewhere
// it looks exactly like CButtonST.
#pragma once
#include <windows.h>

#include "button_st.h"

namespace brevant {

// The four theme functions, looked up by name at run time so the tool still
// starts where the theme library is missing.
struct ThemeFunctions {
  using OpenThemeDataFn = HANDLE(WINAPI*)(HWND window, LPCWSTR class_list);
  using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HANDLE theme, HDC dc, int part, int state, const RECT* rect,
                                                 const RECT* clip);
  using CloseThemeDataFn = HRESULT(WINAPI*)(HANDLE theme);
  using IsAppThemedFn = BOOL(WINAPI*)();

  OpenThemeDataFn open_theme_data;
  DrawThemeBackgroundFn draw_theme_background;
  CloseThemeDataFn close_theme_data;
  IsAppThemedFn is_app_themed;
};

// UxTheme.dll's functions, loaded on first use and kept for the process;
// each one missing is replaced by its do-nothing stand-in.
const ThemeFunctions& SystemThemeFunctions();
// The stand-ins alone: nothing themed, every call fails.
const ThemeFunctions& MissingThemeFunctions();

// Theme states of the push button part.
enum class PushButtonState { kNormal = 1, kHot = 2, kPressed = 3, kDisabled = 4, kDefault = 5 };
constexpr int kPushButtonPart = 1;

class CXPStyleButtonST : public CButtonST {
 public:
  // `themes` must outlive the button.
  explicit CXPStyleButtonST(const ThemeFunctions& themes = SystemThemeFunctions()) : themes_(&themes) {}

 protected:
  void DrawBackground(HDC dc, const RECT& rect) override;
  void DrawBorder(HDC dc, const RECT& rect) override;

 private:
  PushButtonState ThemeState() const;

  const ThemeFunctions* themes_;
  bool theme_drew_ = false;  // this drawing's background came from the theme, edge included
};

}  // namespace brevant
