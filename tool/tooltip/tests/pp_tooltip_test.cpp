// The tooltip driven the way its client drives it: mouse moves relayed,
// timer ticks sent to its window, the owner answering its notification;
// what it shows read back from the screen.
#include "pp_tooltip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "module_path.h"
#include "window.h"

namespace {

using namespace brevant;

constexpr wchar_t kOwnerClass[] = L"Brevant.TooltipTestOwner";

// The dialog the tips are for: two edits side by side, and the owner's side
// of the notification.
class Owner : public fw::Window {
 public:
  Owner() {
    fw::RegisterWindowClass(kOwnerClass, 0, nullptr, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    // Never activated: the desktop of the tests has no window manager to
    // hand the activation back when the window goes.
    Create(kOwnerClass, "owner", WS_POPUP, 0, RECT{100, 100, 500, 300}, nullptr);
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    first = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20, hwnd(),
                            reinterpret_cast<HMENU>(101), nullptr, nullptr);
    second = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 200, 10, 100, 20, hwnd(),
                             reinterpret_cast<HMENU>(102), nullptr, nullptr);
  }
  HWND first = nullptr, second = nullptr;
  int notified_id = -1;
  std::string replacement;
  std::string link_message;

 protected:
  bool OnNotify(int id, NMHDR& header, LRESULT&) override {
    if (header.code == CPPToolTip::kDisplayNotification) {
      notified_id = id;
      auto& display = reinterpret_cast<PPToolTipDisplay&>(header);
      if (!replacement.empty()) display.tool->text = replacement;
      return true;
    }
    if (header.code == CPPToolTip::kLinkNotification) {
      link_message = reinterpret_cast<PPToolTipLink&>(header).message;
      return true;
    }
    return false;
  }
};

class ToolTip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(owner_.hwnd(), nullptr);
    ASSERT_TRUE(tip_.Create(owner_.hwnd())) << GetLastError();
    tip_.AddTool(owner_.first, "<b>first</b>");
    tip_.AddTool(owner_.second, "second");
    tip_.SetInitialTime(100000);  // the test ticks the timers itself
    tip_.SetAutoPopTime(100000);
  }
  // A mouse move over `control` at (x, y) of its client area.
  void MoveOver(HWND control, int x = 5, int y = 5) {
    POINT point = {x, y};
    ClientToScreen(control, &point);
    MSG message = {control, WM_MOUSEMOVE, 0, MAKELPARAM(x, y), GetTickCount(), point};
    tip_.RelayEvent(message);
  }
  void Tick(UINT_PTR timer, int times = 1) {
    for (int i = 0; i < times; ++i) SendMessageW(tip_.hwnd(), WM_TIMER, timer, 0);
  }
  bool Visible() const { return IsWindowVisible(tip_.hwnd()) != FALSE; }

  Owner owner_;
  CPPToolTip tip_;
};

TEST_F(ToolTip, WithoutFadingItShowsAndHidesInOneStepEach) {
  wchar_t name[32] = {};
  GetClassNameW(tip_.hwnd(), name, 32);
  EXPECT_STREQ(name, L"CPPToolTip");
  owner_.replacement = "<font color=red>changed by the owner</font>";
  MoveOver(owner_.first);
  EXPECT_EQ(tip_.state(), CPPToolTip::kHidden) << "the initial delay runs";
  Tick(CPPToolTip::kShowTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kShown);
  EXPECT_TRUE(Visible());
  EXPECT_EQ(owner_.notified_id, 101);
  EXPECT_EQ(tip_.shown_text(), owner_.replacement) << "the owner changes the text before it is measured";
  HDC screen = GetDC(nullptr);
  const SIZE replaced = CPPHtmlDrawer().Measure(screen, owner_.replacement);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(tip_.geometry().text.right - tip_.geometry().text.left, replaced.cx);
  EXPECT_EQ(tip_.transparency(), 0);
  Tick(CPPToolTip::kHideTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kHidden);
  EXPECT_FALSE(Visible());
}

TEST_F(ToolTip, MovingWithinAControlKeepsTheTipAndToAnotherRestartsTheDelay) {
  MoveOver(owner_.first);
  Tick(CPPToolTip::kShowTimer);
  MoveOver(owner_.first, 50, 8);
  EXPECT_EQ(tip_.state(), CPPToolTip::kShown);
  MoveOver(owner_.second);
  EXPECT_EQ(tip_.state(), CPPToolTip::kHidden);
  Tick(CPPToolTip::kShowTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kShown);
  EXPECT_EQ(tip_.shown_text(), "second");
  POINT outside = {150, 150};
  MSG away = {owner_.hwnd(), WM_MOUSEMOVE, 0, 0, 0, outside};
  tip_.RelayEvent(away);
  EXPECT_EQ(tip_.state(), CPPToolTip::kHidden) << "no tool: no tip";
  EXPECT_FALSE(KillTimer(tip_.hwnd(), CPPToolTip::kShowTimer)) << "and no delay running for one";
}

TEST_F(ToolTip, AMouseThatDidNotRestWaitsForAnotherDelay) {
  MoveOver(owner_.first);
  MoveOver(owner_.first, 30, 5);  // same tool: the delay is not restarted here...
  Tick(CPPToolTip::kShowTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kHidden) << "...so the tick finds the mouse moved";
  Tick(CPPToolTip::kShowTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kShown);
}

TEST_F(ToolTip, AHelpTipStaysUntilHidden) {
  tip_.ShowHelpTooltip(POINT{300, 300}, "help");
  EXPECT_TRUE(tip_.help_shown());
  EXPECT_FALSE(KillTimer(tip_.hwnd(), CPPToolTip::kHideTimer)) << "no auto-hide for a help tip";
  Tick(CPPToolTip::kHideTimer);
  MoveOver(owner_.second);
  EXPECT_EQ(tip_.state(), CPPToolTip::kShown);
  EXPECT_EQ(tip_.shown_text(), "help");
  tip_.HideTooltip();
  EXPECT_EQ(tip_.state(), CPPToolTip::kHidden);
  EXPECT_FALSE(Visible());
}

TEST_F(ToolTip, FadesInAndOutByTwentyAStep) {
  tip_.SetFadeInTime(100000);
  tip_.SetFadeOutTime(100000);
  MoveOver(owner_.first);
  Tick(CPPToolTip::kShowTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kAppearing);
  EXPECT_EQ(tip_.transparency(), 100);
  Tick(CPPToolTip::kFadeInTimer, 4);
  EXPECT_EQ(tip_.transparency(), 20);
  EXPECT_EQ(tip_.state(), CPPToolTip::kAppearing);
  Tick(CPPToolTip::kFadeInTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kShown);
  tip_.HideTooltip();
  EXPECT_EQ(tip_.state(), CPPToolTip::kDisappearing);
  Tick(CPPToolTip::kFadeOutTimer, 4);
  EXPECT_EQ(tip_.transparency(), 80);
  EXPECT_TRUE(Visible());
  Tick(CPPToolTip::kFadeOutTimer);
  EXPECT_EQ(tip_.state(), CPPToolTip::kHidden);
  EXPECT_FALSE(Visible());
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

TEST_F(ToolTip, TheOutlineIsFilledAndFramedInTheColoursItWasGiven) {
  tip_.SetColorBk(RGB(250, 250, 250), RGB(250, 250, 250), RGB(250, 250, 250));
  tip_.SetBorder(RGB(0, 0, 50));
  tip_.SetShadow(0, 0, 0);
  tip_.ShowHelpTooltip(POINT{300, 400}, "<b>PIN</b><br><font color=red>Caps Lock</font>");
  UpdateWindow(tip_.hwnd());
  const TooltipGeometry& geometry = tip_.geometry();
  const int left = geometry.window.left, top = geometry.window.top;
  const int middle_x = left + (geometry.body.left + geometry.body.right) / 2;
  EXPECT_EQ(ScreenPixel(middle_x, top + geometry.body.top), RGB(0, 0, 50)) << "the border along the top";
  EXPECT_EQ(ScreenPixel(left + geometry.body.left + 4, top + geometry.body.top + 8), RGB(250, 250, 250));
  EXPECT_EQ(ScreenPixel(left + geometry.tail[2].x, top + geometry.tail[2].y + 4), RGB(0, 0, 50)) << "the tail's edge";
  EXPECT_EQ(ScreenPixel(left + geometry.tail[2].x + 2, top + geometry.tail[2].y + 8), RGB(250, 250, 250))
      << "inside the tail";
  EXPECT_NE(ScreenPixel(left + geometry.body.right - 1, top + geometry.body.top), RGB(250, 250, 250))
      << "the corner is rounded off";
  EXPECT_EQ(geometry.tail[2].x + left, 300);
  EXPECT_EQ(geometry.tail[2].y + top, 400);
  EXPECT_EQ(geometry.text.left - geometry.body.left, 12);
}

// Not a check: with BREVANT_HOLD_TOOLTIP=seconds, shows the PIN rules of the
// language file beside the program as the PIN dialog will, for a
// screenshot.
TEST_F(ToolTip, HoldThePinRulesForAScreenshot) {
  const char* hold = std::getenv("BREVANT_HOLD_TOOLTIP");
  if (hold == nullptr) GTEST_SKIP() << "BREVANT_HOLD_TOOLTIP not set";
  char text[1024] = {};
  const std::string language = fw::FileBesideModule(nullptr, "..\\bin\\TKLN0804.ini");
  GetPrivateProfileStringA("TOOL", "SETPIN_TIP", "", text, sizeof text, language.c_str());
  ASSERT_NE(text[0], '\0');
  tip_.SetColorBk(RGB(250, 250, 250), RGB(250, 250, 250), RGB(250, 250, 250));
  tip_.SetBorder(RGB(0, 0, 50));
  tip_.SetShadow(0, 0, 0);
  tip_.ShowHelpTooltip(POINT{150, 160}, text);
  CPPToolTip shadowed;
  ASSERT_TRUE(shadowed.Create(owner_.hwnd()));
  shadowed.SetEffectBk(kEffectVGradient);
  shadowed.SetColorBk(RGB(255, 255, 255), RGB(255, 255, 255), RGB(200, 220, 255));
  shadowed.ShowHelpTooltip(POINT{150, 400}, text);
  const DWORD until = GetTickCount() + static_cast<DWORD>(std::atoi(hold)) * 1000;
  MSG message;
  while (GetTickCount() < until) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(20);
  }
}

}  // namespace
