// The skinned buttons on a real window: each painted by its control into a
// bitmap (WM_PRINTCLIENT sends the owner-draw request through the parent, as
// a repaint does) and read back pixel by pixel; pointer, clicks and states
// given through the controls' own messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "button_st.h"
#include "scoped_gdi.h"
#include "xp_button.h"
#include "xp_style_button_st.h"

namespace {

using namespace brevant;

constexpr wchar_t kHostClass[] = L"Brevant.ButtonsTestHost";
constexpr int kWidth = 120, kHeight = 30;

struct Pixels {
  std::vector<COLORREF> rgb;
  COLORREF at(int x, int y) const { return rgb.at(static_cast<std::size_t>(y * kWidth + x)); }
  bool operator==(const Pixels&) const = default;
};

Pixels Paint(HWND button) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  const fw::ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
  void* bits = nullptr;
  const fw::ScopedGdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return {};
  const HGDIOBJ previous = SelectObject(dc.get(), bitmap.get());
  SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
  GdiFlush();
  Pixels pixels;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    const DWORD pixel = static_cast<const DWORD*>(bits)[i];
    pixels.rgb.push_back(RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF));
  }
  SelectObject(dc.get(), previous);
  return pixels;
}

// A theme that records what it is asked for and paints a colour no button
// uses.
struct ThemeRequest {
  std::wstring class_list;
  int part = 0, state = 0, opened = 0, closed = 0;
} g_request;
constexpr COLORREF kThemeColour = RGB(10, 200, 30);

HANDLE WINAPI RecordOpen(HWND, LPCWSTR class_list) {
  g_request.class_list = class_list;
  ++g_request.opened;
  return &g_request;
}
HANDLE WINAPI FailOpen(HWND, LPCWSTR) { return nullptr; }
HRESULT WINAPI RecordDraw(HANDLE, HDC dc, int part, int state, const RECT* rect, const RECT*) {
  g_request.part = part;
  g_request.state = state;
  const fw::ScopedGdiObject brush(CreateSolidBrush(kThemeColour));
  FillRect(dc, rect, static_cast<HBRUSH>(brush.get()));
  return S_OK;
}
HRESULT WINAPI RecordClose(HANDLE) {
  ++g_request.closed;
  return S_OK;
}
BOOL WINAPI Themed() { return TRUE; }
BOOL WINAPI NotThemed() { return FALSE; }
const ThemeFunctions kRecordingTheme = {&RecordOpen, &RecordDraw, &RecordClose, &Themed};

class Host : public fw::Window {};

// One host for the suite: under Wine without a window manager, taking a shown
// top-level window down costs seconds.
class Buttons : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fw::RegisterWindowClass(kHostClass);
    host_ = new Host;
    other_ = new Host;
    host_->Create(kHostClass, "host", WS_POPUP | WS_VISIBLE, 0, {100, 100, 400, 300}, nullptr);
    other_->Create(kHostClass, "other", WS_POPUP | WS_VISIBLE, 0, {600, 400, 700, 500}, nullptr);
  }
  static void TearDownTestSuite() {
    delete other_;
    delete host_;
  }
  void SetUp() override {
    ASSERT_NE(host_->hwnd(), nullptr);
    SetActiveWindow(host_->hwnd());
  }
  static HWND MakeButton(DWORD type = BS_PUSHBUTTON, int row = 0) {
    return CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | type, 10, 10 + 40 * row, kWidth, kHeight,
                           host_->hwnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  // The pointer put at `point` of the button, and the move reported to it.
  static void MoveTo(HWND button, POINT point) {
    POINT screen = point;
    ClientToScreen(button, &screen);
    SetCursorPos(screen.x, screen.y);  // else the leave notification comes at once
    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
  }
  static inline Host* host_ = nullptr;
  static inline Host* other_ = nullptr;
};

// Hover needs the pointer over the button itself and an active window,
// unless inactive windows are tracked too.
enum class Pointer { kAway, kOver, kBeside, kOverInactive, kOverInactiveTracked };

TEST_F(Buttons, XPStyleButtonAsksTheThemeForTheWinningState) {
  struct Case {
    const char* name;
    DWORD type;
    Pointer pointer;
    bool press, disable;
    PushButtonState state;
  };
  const Case cases[] = {
      {"normal", BS_PUSHBUTTON, Pointer::kAway, false, false, PushButtonState::kNormal},
      {"default", BS_DEFPUSHBUTTON, Pointer::kAway, false, false, PushButtonState::kDefault},
      {"hot beats default", BS_DEFPUSHBUTTON, Pointer::kOver, false, false, PushButtonState::kHot},
      {"beside it, over the host", BS_PUSHBUTTON, Pointer::kBeside, false, false, PushButtonState::kNormal},
      {"window inactive", BS_PUSHBUTTON, Pointer::kOverInactive, false, false, PushButtonState::kNormal},
      {"inactive but tracked", BS_PUSHBUTTON, Pointer::kOverInactiveTracked, false, false, PushButtonState::kHot},
      {"pressed beats hot", BS_PUSHBUTTON, Pointer::kOver, true, false, PushButtonState::kPressed},
      {"disabled beats hot", BS_PUSHBUTTON, Pointer::kOver, false, true, PushButtonState::kDisabled},
      {"disabled beats all", BS_DEFPUSHBUTTON, Pointer::kOver, true, true, PushButtonState::kDisabled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fw::ScopedWindow control(MakeButton(c.type));
    CXPStyleButtonST button(kRecordingTheme);
    ASSERT_TRUE(button.SubclassButton(control.get()));
    const bool inactive = c.pointer == Pointer::kOverInactive || c.pointer == Pointer::kOverInactiveTracked;
    button.SetTrackInactive(c.pointer == Pointer::kOverInactiveTracked);
    SetActiveWindow(inactive ? other_->hwnd() : host_->hwnd());
    if (c.pointer != Pointer::kAway) MoveTo(control.get(), {c.pointer == Pointer::kBeside ? -5 : kWidth / 2, 10});
    if (c.press) SendMessageW(control.get(), BM_SETSTATE, TRUE, 0);
    if (c.disable) EnableWindow(control.get(), FALSE);
    g_request = {};
    const Pixels pixels = Paint(control.get());
    EXPECT_EQ(g_request.class_list, L"BUTTON");
    EXPECT_EQ(g_request.part, kPushButtonPart);
    EXPECT_EQ(g_request.state, static_cast<int>(c.state));
    EXPECT_EQ(g_request.opened, 1);
    EXPECT_EQ(g_request.closed, 1);
    EXPECT_EQ(pixels.at(0, 0), kThemeColour) << "the theme's background is the edge too";
  }
}

TEST_F(Buttons, WithoutThemesTheXPStyleButtonLooksLikeCButtonST) {
  const ThemeFunctions not_themed = {&RecordOpen, &RecordDraw, &RecordClose, &NotThemed};
  const ThemeFunctions no_theme_data = {&FailOpen, &RecordDraw, &RecordClose, &Themed};
  for (const ThemeFunctions* themes : {&MissingThemeFunctions(), &not_themed, &no_theme_data}) {
    for (DWORD type : {BS_PUSHBUTTON, BS_DEFPUSHBUTTON}) {
      std::vector<Pixels> looks;
      for (const char* look : {"normal", "pressed", "disabled"}) {
        SCOPED_TRACE(look);
        const fw::ScopedWindow classic_control(MakeButton(type, 0)), styled_control(MakeButton(type, 1));
        CButtonST classic;
        CXPStyleButtonST styled(*themes);
        ASSERT_TRUE(classic.SubclassButton(classic_control.get()));
        ASSERT_TRUE(styled.SubclassButton(styled_control.get()));
        for (HWND control : {classic_control.get(), styled_control.get()}) {
          if (look == std::string("pressed")) SendMessageW(control, BM_SETSTATE, TRUE, 0);
          if (look == std::string("disabled")) EnableWindow(control, FALSE);
        }
        g_request = {};
        looks.push_back(Paint(classic_control.get()));
        EXPECT_EQ(Paint(styled_control.get()), looks.back());
        EXPECT_EQ(g_request.state, 0) << "nothing drawn by the theme";
        EXPECT_EQ(g_request.closed, 0) << "nothing closed that was not opened";
      }
      EXPECT_NE(looks[0], looks[1]);
      EXPECT_NE(looks[0], looks[2]);
    }
  }
}

TEST_F(Buttons, ACheckBoxTogglesItsLookAndStateOnEveryClick) {
  for (bool check_box : {true, false}) {
    SCOPED_TRACE(check_box ? "check box" : "push button");
    const fw::ScopedWindow control(MakeButton());
    CButtonST button;
    ASSERT_TRUE(button.SubclassButton(control.get()));
    button.SetCheckBoxMode(check_box);
    SetFocus(control.get());  // a click gives the focus: have it from the start
    std::vector<Pixels> looks = {Paint(control.get())};
    for (int click = 1; click <= 4; ++click) {
      if (click == 3) {  // a quick second click arrives as a double click
        SendMessageW(control.get(), WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
        SendMessageW(control.get(), WM_LBUTTONUP, 0, 0);
      } else {
        SendMessageW(control.get(), BM_CLICK, 0, 0);
      }
      const bool checked = check_box && click % 2 == 1;
      EXPECT_EQ(button.checked(), checked) << click;
      looks.push_back(Paint(control.get()));
      EXPECT_EQ(looks.back() == looks[0], !checked) << click;
    }
    EXPECT_EQ(looks[1], looks[3]);
  }
}

TEST_F(Buttons, IconSizeComesFromTheIconsBitmaps) {
  const std::vector<BYTE> bits(4096, 0);
  // A colour icon; a monochrome one, whose mask holds both of its halves.
  for (SIZE size : {SIZE{20, 12}, SIZE{16, 16}}) {
    const BYTE bits_per_pixel = size.cx == 16 ? 1 : 32;
    const HICON icon = CreateIcon(nullptr, size.cx, size.cy, 1, bits_per_pixel, bits.data(), bits.data());
    ASSERT_NE(icon, nullptr);
    CButtonST button;
    EXPECT_TRUE(button.SetIcon(icon));
    EXPECT_EQ(button.icon_size().cx, size.cx);
    EXPECT_EQ(button.icon_size().cy, size.cy);
    DestroyIcon(icon);
  }
}

TEST_F(Buttons, XPButtonFrameAndFaceColours) {
  struct Case {
    const char* name;
    bool hover, leave, disable;
    COLORREF frame, face;
  };
  const Case cases[] = {
      {"plain", false, false, false, RGB(100, 100, 100), RGB(222, 223, 236)},
      {"hovered", true, false, false, RGB(100, 100, 100), RGB(223, 222, 236)},
      {"hovered, then left", true, true, false, RGB(100, 100, 100), RGB(222, 223, 236)},
      {"disabled", false, false, true, RGB(128, 128, 128), RGB(222, 223, 236)},
  };
  const int face_x = GetSystemMetrics(SM_CXEDGE), face_y = GetSystemMetrics(SM_CYEDGE);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fw::ScopedWindow control(MakeButton());
    CXPButton button;
    ASSERT_TRUE(button.SubclassButton(control.get()));
    if (c.hover) MoveTo(control.get(), {kWidth / 2, kHeight / 2});
    if (c.leave) SendMessageW(control.get(), WM_MOUSELEAVE, 0, 0);
    if (c.disable) EnableWindow(control.get(), FALSE);
    const Pixels pixels = Paint(control.get());
    for (POINT edge :
         {POINT{kWidth / 2, 0}, POINT{0, kHeight / 2}, POINT{kWidth - 1, kHeight / 2}, POINT{kWidth / 2, kHeight - 1}})
      EXPECT_EQ(pixels.at(edge.x, edge.y), c.frame) << edge.x << "," << edge.y;
    EXPECT_NE(pixels.at(0, 0), c.frame) << "rounded corners";
    EXPECT_EQ(pixels.at(face_x + 4, face_y + 4), c.face);
    int lit = 0;
    for (int x = 0; x < kWidth; ++x) lit += pixels.at(x, face_y) == RGB(153, 198, 252);
    EXPECT_EQ(lit > 0, c.hover && !c.leave) << "dotted highlight while hovered";
  }
}

}  // namespace
