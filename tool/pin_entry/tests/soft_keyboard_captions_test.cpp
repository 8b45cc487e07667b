// The soft keyboard at the DPI the test runs at (the Wine prefix's LogPixels
// when the program starts): every caption fits its key, measured the way
// another process would, with the key's own font (WM_GETFONT) against the
// key's client rectangle; and the PIN dialogs grown for it hold it whole.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <string>
#include <vector>

#include "cached_texts.h"
#include "dpi.h"
#include "resource.h"
#include "scoped_gdi.h"
#include "settings.h"
#include "sim_fixture.h"
#include "soft_keyboard.h"
#include "soft_keyboard_key.h"
#include "soft_keyboard_keys.h"
#include "text.h"
#include "window.h"

namespace {

using namespace brevant;

bool CapsLockOn() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

// Runs this thread's messages (the keyboard's own key events among them)
// until `done`, for at most 5 s.
template <typename Condition>
bool PumpUntil(Condition done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return done();
}

// A dialog's window from its template, without its code: the keyboard only
// needs a PIN dialog's size and a field to type into. Never shown: under
// Wine without a window manager a shown top-level window takes seconds to
// go, and measuring needs no screen.
fw::ScopedWindow MakeDialog(int template_id, HWND parent = nullptr) {
  const auto no_handling = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; };
  return fw::ScopedWindow(
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(template_id), parent, no_handling, 0));
}

void ClickKey(HWND keyboard, int id) {
  SendMessageW(keyboard, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(keyboard, id)));
}

HFONT FontOf(HWND window) { return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)); }

SIZE TextExtent(HWND window, HFONT font, const std::wstring& text) {
  const fw::WindowDc dc(window);
  SelectObject(dc.get(), font);
  SIZE extent = {};
  GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  return extent;
}

// "" when the key's caption fits the key in the key's font, else
// "caption: text size > key size".
std::string Clipping(HWND key) {
  wchar_t caption[64] = {};
  GetWindowTextW(key, caption, 64);
  const SIZE extent = TextExtent(key, FontOf(key), caption);
  RECT client = {};
  GetClientRect(key, &client);
  if (extent.cx <= client.right && extent.cy <= client.bottom) return {};
  return fw::WindowTextOf(key) + ": " + std::to_string(extent.cx) + "x" + std::to_string(extent.cy) + " > " +
         std::to_string(client.right) + "x" + std::to_string(client.bottom);
}

// The keys whose caption is clipped, and with `one_font` those not in the
// keyboard's own font.
std::vector<std::string> Misfits(HWND keyboard, bool one_font) {
  std::vector<std::string> misfits;
  for (const SoftKey& soft_key : kSoftKeys) {
    const HWND key = GetDlgItem(keyboard, soft_key.id);
    if (std::string clipped = Clipping(key); !clipped.empty()) misfits.push_back(clipped);
    if (one_font && FontOf(key) != FontOf(keyboard)) misfits.push_back(fw::WindowTextOf(key) + ": smaller font");
  }
  return misfits;
}

// Nothing latched, Shift latched, Caps Lock on.
void ExpectCaptionsFitInEveryState(HWND keyboard, bool one_font) {
  const HWND letter = GetDlgItem(keyboard, kSoftKeys[kFirstLetterKey].id);
  const auto upper_case = [letter] { return std::isupper(static_cast<unsigned char>(fw::WindowTextOf(letter)[0])); };
  SCOPED_TRACE("keyboard at " + std::to_string(fw::WindowDpi(keyboard)) + " DPI");
  EXPECT_EQ(Misfits(keyboard, one_font), std::vector<std::string>{}) << "plain";
  ClickKey(keyboard, kShiftKeyId);
  EXPECT_TRUE(upper_case());
  EXPECT_EQ(Misfits(keyboard, one_font), std::vector<std::string>{}) << "Shift latched";
  ClickKey(keyboard, kShiftKeyId);
  ClickKey(keyboard, kCapsLockKeyId);
  ASSERT_TRUE(PumpUntil(CapsLockOn));
  EXPECT_TRUE(upper_case());
  EXPECT_EQ(Misfits(keyboard, one_font), std::vector<std::string>{}) << "Caps Lock on";
  ClickKey(keyboard, kCapsLockKeyId);
  EXPECT_TRUE(PumpUntil([] { return !CapsLockOn(); }));
}

// First with the names the keyboard falls back on (no language texts), then
// with the shipped language's, which the layout has room for in one font.
TEST(SoftKeyboardCaptions, FitTheirKeysInEveryStateWithEitherNames) {
  for (const bool language : {false, true}) {
    SCOPED_TRACE(language ? "language texts" : "fallback names");
    if (language) {
      ASSERT_EQ(LoadDeviceLibrary((simtest::BinDir() + "\\RVControl.ini").c_str()), 0);
      LoadCachedTexts();
      ASSERT_STRNE(CachedText("KEY_BACKSPACE"), "");
    }
    const fw::ScopedWindow dialog = MakeDialog(IDD_MODIFY_PIN);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(ToggleSoftKeyboard(dialog.get(), GetDlgItem(dialog.get(), IDC_NEW_PIN)));
    ExpectCaptionsFitInEveryState(SoftKeyboardWindow(), language);
  }
  EXPECT_EQ(SoftKeyboardWindow(), nullptr) << "gone with its dialog";
}

// Another language's longer name, or another system font: the key shows
// the caption whole in the smaller font; a key wide enough keeps the
// keyboard's.
TEST(SoftKeyboardCaptions, AKeyTooNarrowForItsCaptionShowsItSmaller) {
  const fw::ScopedWindow dialog = MakeDialog(IDD_MODIFY_PIN);
  const fw::ScopedWindow keyboard = MakeDialog(kSoftKeyboardDialog, dialog.get());
  ASSERT_TRUE(keyboard);
  SoftKeyLook look;
  look.SetFonts(keyboard.get());
  for (const bool narrow : {true, false}) {
    CSoftKeyButton key;
    ASSERT_TRUE(key.TakeOver(GetDlgItem(keyboard.get(), kSoftKeys[narrow ? 0 : 1].id), look, nullptr));
    const SIZE extent = TextExtent(key.hwnd(), look.font, L"Backspace");
    const int width = narrow ? extent.cx * 9 / 10 : extent.cx + 10;
    SetWindowPos(key.hwnd(), nullptr, 0, 0, width, extent.cy * 2, SWP_NOMOVE | SWP_NOZORDER);
    key.SetCaption("Backspace");
    EXPECT_EQ(Clipping(key.hwnd()), "") << (narrow ? "narrow key" : "wide key");
    EXPECT_EQ(FontOf(key.hwnd()) == look.font, !narrow);
  }
}

TEST(SoftKeyboardCaptions, TheGrownPinDialogsHoldTheWholeKeyboard) {
  RECT work = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  for (const int template_id : {IDD_MODIFY_PIN, IDD_MODIFY_LABEL}) {
    const fw::ScopedWindow dialog = MakeDialog(template_id);
    ASSERT_TRUE(dialog);
    // Near the screen's right edge: the grown dialog moves to stay whole.
    RECT before = {};
    GetWindowRect(dialog.get(), &before);
    SetWindowPos(dialog.get(), nullptr, work.right - (before.right - before.left) - 4, work.top + 8, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(dialog.get(), &before);
    ASSERT_TRUE(ToggleSoftKeyboard(dialog.get(), nullptr));
    RECT grown = {}, on_screen = {};
    GetWindowRect(dialog.get(), &grown);
    IntersectRect(&on_screen, &grown, &work);
    EXPECT_TRUE(EqualRect(&on_screen, &grown)) << "dialog " << template_id << " ends at " << grown.right;
    RECT keyboard = {}, client = {}, inside = {};
    GetWindowRect(SoftKeyboardWindow(), &keyboard);
    MapWindowPoints(nullptr, dialog.get(), reinterpret_cast<POINT*>(&keyboard), 2);
    GetClientRect(dialog.get(), &client);
    IntersectRect(&inside, &keyboard, &client);
    EXPECT_TRUE(EqualRect(&inside, &keyboard)) << "dialog " << template_id << " at "
                                               << fw::WindowDpi(dialog.get()) << " DPI: keyboard bottom "
                                               << keyboard.bottom << ", client " << client.bottom;
    CloseSoftKeyboard();
    RECT after = {};
    GetWindowRect(dialog.get(), &after);
    EXPECT_TRUE(EqualRect(&after, &before)) << "back where it was";
  }
}

// At 96 DPI the keyboard, which lays itself out from 96-DPI pixels, keeps
// every key where the dialog manager put it from the template.
TEST(SoftKeyboardCaptions, At96DpiTheKeysStayWhereTheTemplatePutsThem) {
  const fw::ScopedWindow dialog = MakeDialog(IDD_MODIFY_PIN);
  ASSERT_TRUE(ToggleSoftKeyboard(dialog.get(), nullptr));
  const HWND keyboard = SoftKeyboardWindow();
  if (fw::WindowDpi(keyboard) != fw::kDefaultDpi) GTEST_SKIP() << "the screen is not at 96 DPI";
  for (const SoftKey& key : kSoftKeys) {
    RECT expected = {key.x, key.y, key.x + key.width, key.y + key.height};
    MapDialogRect(keyboard, &expected);
    RECT placed = {};
    GetWindowRect(GetDlgItem(keyboard, key.id), &placed);
    MapWindowPoints(nullptr, keyboard, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(EqualRect(&placed, &expected)) << "key " << key.id;
  }
  CloseSoftKeyboard();
}

}  // namespace
