// The popup driven through its own messages: timer ticks, pointer moves and
// clicks sent to it, its place read back from the window; its painting drawn
// into a bitmap.
#include "msn_wnd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dpi.h"
#include "expiry_notice.h"
#include "picture_scales.h"

namespace {

using brevant::CMsnWnd;

RECT WorkArea() {
  RECT area = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

RECT PlaceOf(HWND window) {
  RECT place = {};
  GetWindowRect(window, &place);
  return place;
}

class Popup : public ::testing::Test {
 protected:
  void Tick(UINT_PTR timer, int times = 1) {
    for (int i = 0; i < times; ++i) SendMessageW(popup_.hwnd(), WM_TIMER, timer, 0);
  }
  CMsnWnd popup_{"Hint", "Title"};
  const RECT area_ = WorkArea();
};

TEST_F(Popup, RisesAtFullHeightFromTheCornerThenStaysAndFallsShrinking) {
  const SIZE picture = popup_.picture_size();
  ASSERT_EQ(picture.cx, 280);
  ASSERT_EQ(picture.cy, 133);
  popup_.ShowMessage("text");
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kRiseTimer);
  EXPECT_EQ(fw::WindowTextOf(popup_.hwnd()), "Title");
  EXPECT_EQ(popup_.caption(), std::string("Hint "));

  Tick(CMsnWnd::kRiseTimer);
  RECT place = PlaceOf(popup_.hwnd());
  EXPECT_EQ(place.right, area_.right);
  EXPECT_EQ(place.top, area_.bottom - 2);
  EXPECT_EQ(place.bottom - place.top, 133) << "the rising window keeps its height";

  Tick(CMsnWnd::kRiseTimer, 65);
  place = PlaceOf(popup_.hwnd());
  EXPECT_EQ(place.top, area_.bottom - 132);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kRiseTimer);
  Tick(CMsnWnd::kRiseTimer);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kStayTimer);
  EXPECT_EQ(PlaceOf(popup_.hwnd()).top, area_.bottom - 132) << "the rise ends at 132";

  Tick(CMsnWnd::kStayTimer);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kFallTimer);
  Tick(CMsnWnd::kFallTimer, 10);
  place = PlaceOf(popup_.hwnd());
  EXPECT_EQ(place.top, area_.bottom - 112);
  EXPECT_EQ(place.bottom, area_.bottom) << "the falling window shrinks";
  Tick(CMsnWnd::kFallTimer, 56);
  EXPECT_NE(popup_.hwnd(), nullptr);
  Tick(CMsnWnd::kFallTimer);
  EXPECT_EQ(popup_.hwnd(), nullptr) << "down: the window goes, the object stays";
}

TEST_F(Popup, ASecondMessageStartsAFreshRise) {
  popup_.ShowMessage("first");
  Tick(CMsnWnd::kRiseTimer, 30);
  const HWND first = popup_.hwnd();
  popup_.ShowMessage("second");
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(popup_.visible_height(), 0);
  EXPECT_STREQ(popup_.message_text(), "second");
  Tick(CMsnWnd::kRiseTimer);
  EXPECT_EQ(PlaceOf(popup_.hwnd()).top, area_.bottom - 2);
}

TEST_F(Popup, PointerHoldsItAndLeavingStartsTheShortStay) {
  popup_.ShowMessage("text");
  Tick(CMsnWnd::kRiseTimer, 20);
  SendMessageW(popup_.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(popup_.running_timer(), 0u) << "the rise stops where it is";
  const RECT held = PlaceOf(popup_.hwnd());
  for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
  Sleep(50);
  for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
  EXPECT_EQ(PlaceOf(popup_.hwnd()).top, held.top);

  EXPECT_EQ(SendMessageW(popup_.hwnd(), WM_MOUSELEAVE, 0, 0), 1);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kStayTimer);
  Tick(CMsnWnd::kStayTimer);
  Tick(CMsnWnd::kFallTimer);
  EXPECT_EQ(PlaceOf(popup_.hwnd()).top, held.top + 2) << "falls from where it stopped";
}

TEST_F(Popup, AClickClosesItInAnyPhaseAndTheNextMessageWorks) {
  for (int rise_steps : {1, 67}) {
    popup_.ShowMessage("text");
    Tick(CMsnWnd::kRiseTimer, rise_steps);
    SendMessageW(popup_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(popup_.hwnd(), nullptr) << rise_steps;
    EXPECT_EQ(popup_.running_timer(), 0u);
  }
  popup_.ShowMessage("again");
  EXPECT_NE(popup_.hwnd(), nullptr);
}

TEST_F(Popup, EachPhaseRunsOnItsOwnPeriod) {
  popup_.ShowMessage("text");
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kRiseTimer);
  EXPECT_EQ(popup_.running_period(), 10u) << "two pixels every 10 ms";
  // The timer is the window's own: the popup starts rising unaided.
  const ULONGLONG until = GetTickCount64() + 5000;
  for (MSG message; popup_.visible_height() == 0 && GetTickCount64() < until;) {
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    else MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  ASSERT_GT(popup_.visible_height(), 0);
  for (int i = 0; i < 100 && popup_.running_timer() == CMsnWnd::kRiseTimer; ++i) Tick(CMsnWnd::kRiseTimer);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kStayTimer);
  EXPECT_EQ(popup_.running_period(), 5000u) << "up for five seconds";

  SendMessageW(popup_.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(popup_.running_period(), 0u) << "held";
  SendMessageW(popup_.hwnd(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kStayTimer);
  EXPECT_EQ(popup_.running_period(), 3000u) << "three seconds once the pointer left";
  Tick(CMsnWnd::kStayTimer);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kFallTimer);
  EXPECT_EQ(popup_.running_period(), 10u);
}

// Refuses every window this thread makes, as a platform out of resources would.
LRESULT CALLBACK RefuseWindows(int code, WPARAM wparam, LPARAM lparam) {
  return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, wparam, lparam);
}

TEST_F(Popup, AWindowThatCannotBeMadeRunsNoTimer) {
  const HHOOK refusal = SetWindowsHookExW(WH_CBT, &RefuseWindows, nullptr, GetCurrentThreadId());
  ASSERT_NE(refusal, nullptr);
  popup_.ShowMessage("text");
  UnhookWindowsHookEx(refusal);
  EXPECT_EQ(popup_.hwnd(), nullptr);
  EXPECT_EQ(popup_.running_timer(), 0u);
  // A thread timer in its place would tick every 10 ms.
  MSG tick = {};
  for (const ULONGLONG until = GetTickCount64() + 200; GetTickCount64() < until; Sleep(5))
    if (PeekMessageW(&tick, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) break;
  EXPECT_EQ(tick.message, 0u) << "timer " << tick.wParam << " ticked";
  if (tick.message == WM_TIMER && tick.hwnd == nullptr) KillTimer(nullptr, tick.wParam);
  popup_.ShowMessage("again");
  EXPECT_NE(popup_.hwnd(), nullptr);
  EXPECT_EQ(popup_.running_timer(), CMsnWnd::kRiseTimer);
}

TEST_F(Popup, ALongTextIsCutAtACharacterBoundaryInsteadOfRefused) {
  std::string pairs;  // characters of code page 936, two bytes each
  for (int i = 0; i < 600; ++i) pairs += "\xD6\xA4";
  struct Case {
    std::string text;
    std::size_t kept;
  };
  for (const Case& c : {Case{std::string(1022, 'a'), 1022}, Case{std::string(1023, 'b'), 1023},
                        Case{std::string(5000, 'c'), 1023}, Case{"x" + pairs, 1023}, Case{pairs, 1022}}) {
    popup_.ShowMessage("previous");
    popup_.ShowMessage(c.text.c_str());
    EXPECT_EQ(std::strlen(popup_.message_text()), c.kept);
    EXPECT_EQ(std::string(popup_.message_text()), c.text.substr(0, c.kept));
  }
  EXPECT_EQ(std::strlen(popup_.message_text()), 1022u) << "no half character at the end";
}

// The popup's painting, pixel by pixel, in a bitmap of its own size.
class Canvas {
 public:
  explicit Canvas(SIZE size) : size_(size), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
    SelectObject(dc_.get(), bitmap_.get());
  }
  HDC dc() const { return dc_.get(); }
  RECT client() const { return {0, 0, size_.cx, size_.cy}; }
  std::vector<DWORD> Pixels(const RECT& part) const {
    GdiFlush();
    std::vector<DWORD> pixels;
    for (LONG y = part.top; y < part.bottom; ++y)
      for (LONG x = part.left; x < part.right; ++x) pixels.push_back(bits_[y * size_.cx + x] & 0xFFFFFF);
    return pixels;
  }

 private:
  SIZE size_;
  fw::ScopedMemoryDc dc_;
  fw::ScopedGdiObject bitmap_;
  DWORD* bits_ = nullptr;
};

TEST_F(Popup, PaintsThePictureTheCaptionAndTheText) {
  const SIZE size = popup_.picture_size();
  const RECT caption_part = {30, 10, 120, 30}, text_part = {5, 40, size.cx - 5, size.cy};
  CMsnWnd no_caption{"", ""};
  no_caption.ShowMessage("");
  Canvas bare(size);
  no_caption.Paint(bare.dc(), bare.client());  // the picture with a lone blank

  popup_.ShowMessage("");
  Canvas caption_alone(size);
  popup_.Paint(caption_alone.dc(), caption_alone.client());
  EXPECT_NE(caption_alone.Pixels(caption_part), bare.Pixels(caption_part)) << "caption drawn";
  EXPECT_EQ(caption_alone.Pixels(text_part), bare.Pixels(text_part)) << "an empty text draws nothing";

  popup_.ShowMessage("A message long enough to be broken over more than one line of the popup");
  Canvas with_text(size);
  popup_.Paint(with_text.dc(), with_text.client());
  EXPECT_NE(with_text.Pixels(text_part), bare.Pixels(text_part));
  const RECT second_line = {5, 58, size.cx - 5, 74};
  EXPECT_NE(with_text.Pixels(second_line), bare.Pixels(second_line)) << "broken at words";
}

std::string LanguageText(const char* section, const char* key) {
  char text[1024] = {};
  GetPrivateProfileStringA(section, key, "", text, sizeof text, BREVANT_SOURCE_DIR "/dist/TKLN0804.ini");
  return text;
}

// What the popup is given to show, in the shipped language: the removal, and
// the arrival with each remark a certificate's dates bring.
std::vector<std::string> ShippedNotices() {
  const brevant::ExpiryTexts texts = {
      LanguageText("TOOL", "KEY_INSERT"),           LanguageText("CERTINFO", "CERT_BEFORE_EFFECT"),
      LanguageText("CERTINFO", "CERT_AFTER_EFFECT"), LanguageText("CERTINFO", "CERT_OUTTIME_TODAY"),
      LanguageText("CERTINFO", "CERT_OUTTIME_SOMEDAY1"), LanguageText("CERTINFO", "CERT_OUTTIME_SOMEDAY2"),
      LanguageText("CERTINFO", "EFFECT_TIME")};
  using Date = brevant::KeyDateTime;
  const Date now{2026, 6, 0, 15, 12}, past{2025, 1, 0, 1}, tonight{2026, 6, 0, 15, 23}, soon{2026, 6, 0, 27},
      later{2027, 12, 0, 31};
  std::vector<std::string> notices = {LanguageText("TOOL", "KEY_REMOVE")};
  for (const auto& [from, to] : {std::pair{later, later}, {past, past}, {past, tonight}, {past, soon}})
    notices.push_back(brevant::InsertionNotice(texts, true, from, to, now));
  return notices;
}

// Windows telling the popup its screen now has another DPI. The rectangle it
// suggests is not taken: the popup keeps to the work area's corner.
void ChangeDpi(HWND window, int dpi) {
  RECT suggested = {0, 0, 10, 10};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

TEST_F(Popup, ShowsThePictureOfItsDpiAtThatSizeWithTheShippedTextsInside) {
  const std::vector<std::string> notices = ShippedNotices();
  for (const std::string& notice : notices) ASSERT_NE(notice, "") << "language file not read";
  CMsnWnd popup{LanguageText("MsnWnd", "IDS_HINT").c_str(), LanguageText("TOOL", "TOOL_TITLE").c_str()};
  popup.ShowMessage(notices.back().c_str());
  ASSERT_NE(popup.hwnd(), nullptr);
  EXPECT_EQ(popup.picture_dpi(), brevant::PictureDpi(brevant::PictureScaleFor(fw::WindowDpi(popup.hwnd()))));
  // Screenshots: with BREVANT_TEST_LINGER_MS set, the popup is shown risen
  // at the screen's own DPI for that long, so that the screen can be captured.
  if (const char* linger = std::getenv("BREVANT_TEST_LINGER_MS")) {
    ShowWindow(popup.hwnd(), SW_SHOWNOACTIVATE);
    for (int i = 0; i < 1000 && popup.running_timer() == CMsnWnd::kRiseTimer; ++i)
      SendMessageW(popup.hwnd(), WM_TIMER, CMsnWnd::kRiseTimer, 0);
    for (const ULONGLONG until = GetTickCount64() + std::atoi(linger); GetTickCount64() < until;) {
      MSG message;
      if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      else MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
  }

  // 168 DPI (175 %) lies between two scales: the 150 % picture.
  for (const int dpi : {96, 120, 144, 168, 192}) {
    SCOPED_TRACE("DPI " + std::to_string(dpi));
    popup.ShowMessage(notices.back().c_str());
    SendMessageW(popup.hwnd(), WM_TIMER, CMsnWnd::kRiseTimer, 0);
    ChangeDpi(popup.hwnd(), dpi);
    const int picture_dpi = brevant::PictureDpi(brevant::PictureScaleFor(dpi));
    ASSERT_EQ(popup.picture_dpi(), picture_dpi);
    const SIZE picture = popup.picture_size();
    EXPECT_EQ(picture.cx, fw::ScaleToDpi(280, picture_dpi));
    EXPECT_EQ(picture.cy, fw::ScaleToDpi(133, picture_dpi));

    for (int i = 0; i < 1000 && popup.running_timer() == CMsnWnd::kRiseTimer; ++i)
      SendMessageW(popup.hwnd(), WM_TIMER, CMsnWnd::kRiseTimer, 0);
    ASSERT_EQ(popup.running_timer(), CMsnWnd::kStayTimer);
    RECT client = {};
    GetClientRect(popup.hwnd(), &client);
    EXPECT_EQ(client.right, picture.cx) << "the window is its picture's size";
    EXPECT_EQ(client.bottom, picture.cy);
    const RECT place = PlaceOf(popup.hwnd());
    EXPECT_EQ(place.right, area_.right);
    EXPECT_EQ(place.top, area_.bottom - popup.visible_height());
    EXPECT_GT(popup.visible_height(), picture.cy - popup.step_pixels()) << "risen as far as a step goes";
    EXPECT_LE(popup.visible_height(), picture.cy);

    const fw::ScopedGdiObject font = popup.CreateTextFont();
    ASSERT_TRUE(font);
    const fw::WindowDc screen(nullptr);
    const HGDIOBJ previous = SelectObject(screen.get(), font.get());
    SIZE caption = {};
    GetTextExtentPoint32A(screen.get(), popup.caption(), static_cast<int>(std::strlen(popup.caption())), &caption);
    const POINT origin = popup.CaptionOrigin();
    const RECT text_area = popup.TextRect(client);
    EXPECT_LE(origin.x + caption.cx, client.right) << "caption";
    EXPECT_LE(origin.y + caption.cy, text_area.top) << "caption above the text";
    for (const std::string& notice : notices) {
      RECT needed = text_area;
      DrawTextA(screen.get(), notice.c_str(), -1, &needed, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_CALCRECT);
      EXPECT_LE(needed.right, text_area.right) << notice;
      EXPECT_LE(needed.bottom, text_area.bottom) << notice;
    }
    SelectObject(screen.get(), previous);

    // Down a step a tick, the bottom edge on the work area's; gone at the
    // tick after the last whole step.
    const int moves = popup.visible_height() / popup.step_pixels();
    SendMessageW(popup.hwnd(), WM_TIMER, CMsnWnd::kStayTimer, 0);
    SendMessageW(popup.hwnd(), WM_TIMER, CMsnWnd::kFallTimer, 0);
    EXPECT_EQ(PlaceOf(popup.hwnd()).bottom, area_.bottom);
    for (int i = 1; i < moves && popup.hwnd() != nullptr; ++i)
      SendMessageW(popup.hwnd(), WM_TIMER, CMsnWnd::kFallTimer, 0);
    ASSERT_NE(popup.hwnd(), nullptr);
    SendMessageW(popup.hwnd(), WM_TIMER, CMsnWnd::kFallTimer, 0);
    EXPECT_EQ(popup.hwnd(), nullptr);
  }
}

}  // namespace
