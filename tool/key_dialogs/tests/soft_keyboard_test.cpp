// The soft keyboard and the PIN fields inside the PIN dialog, used the way a
// person does: opening and closing the keyboard with its button, clicking
// keys, typing on the "physical" keyboard (synthesised input from another
// thread). What arrived is read back from the dialog's PIN records.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "cached_texts.h"
#include "dialog_driving.h"
#include "modify_label_dlg.h"
#include "modify_pin_dlg.h"
#include "pin_record.h"
#include "resource.h"
#include "scoped_gdi.h"
#include "settings.h"
#include "sim_fixture.h"
#include "soft_keyboard.h"
#include "soft_keyboard_keys.h"
#include "soft_keyboard_logic.h"

namespace {

using namespace brevant;
using namespace pintest;

constexpr int kSpace = 9, kPunctuation = 70, kCapsLock = 7, kShift = 3, kInsert = 18, kDelete = 19;

// The keyboard inside `dialog` once it is shown; with `shown` false, null
// once it is gone (else what is left of it).
HWND WaitForKeyboard(HWND dialog, bool shown = true) {
  HWND keyboard = nullptr;
  for (int i = 0; i < 500; ++i) {
    keyboard = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
    if (shown ? keyboard != nullptr && IsWindowVisible(keyboard) : keyboard == nullptr) return keyboard;
    Sleep(10);
  }
  return shown ? nullptr : keyboard;
}

void PressKeyboardButton(HWND dialog) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PIN_SOFT_KEYBOARD, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PIN_SOFT_KEYBOARD)));
}

HWND Key(HWND keyboard, int index) { return GetDlgItem(keyboard, kSoftKeys[index].id); }
std::string Caption(HWND keyboard, int index) { return TextOf(Key(keyboard, index)); }

void Click(HWND key) {
  PostMessageW(key, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(key, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
}

// Waits until `field` shows `count` stars; its star count then.
std::size_t WaitForStars(HWND field, std::size_t count, int tries = 200) {
  for (int i = 0; i < tries && TextOf(field).size() != count; ++i) Sleep(10);
  return TextOf(field).size();
}

// Hardware-like input: what a keyboard logger would see.
void TypePhysically(const std::string& text) {
  for (const char c : text) {
    const bool upper = std::isupper(static_cast<unsigned char>(c)) != 0;
    const BYTE key = static_cast<BYTE>(std::toupper(static_cast<unsigned char>(c)));
    if (upper) keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
    if (upper) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    Sleep(20);
  }
}

// A key pressed and released, with Shift held when `shift`.
void Tap(BYTE key, bool shift = false) {
  if (shift) keybd_event(VK_SHIFT, 0, 0, 0);
  keybd_event(key, 0, 0, 0);
  keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
  if (shift) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
}

// OK pressed; a refusal (a message box) is answered and the dialog
// cancelled, so that a wrong PIN fails the test instead of hanging it.
void PressOkOrCancel(HWND dialog) {
  PressOk(dialog);
  for (int i = 0; i < 1000 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) {
    if (FindDialogWith({kMessageBoxText}) != nullptr) {
      AnswerMessageBox();
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
    Sleep(10);
  }
}

// Text on the clipboard for as long as the object lives, put there by a
// window of its own (a clipboard opened without one takes no data); the
// clipboard is emptied afterwards.
class ClipboardText {
 public:
  explicit ClipboardText(const char* text)
      : owner_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {
    if (!owner_ || !OpenClipboard(owner_.get())) return;
    EmptyClipboard();
    const std::size_t size = std::strlen(text) + 1;
    if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size)) {
      if (void* bytes = GlobalLock(memory)) {
        std::memcpy(bytes, text, size);
        GlobalUnlock(memory);
      }
      if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
    }
    CloseClipboard();
  }
  ~ClipboardText() {
    if (owner_ && OpenClipboard(owner_.get())) {
      EmptyClipboard();
      CloseClipboard();
    }
  }
  ClipboardText(const ClipboardText&) = delete;
  ClipboardText& operator=(const ClipboardText&) = delete;

  static std::string Now() {
    if (!OpenClipboard(nullptr)) return "<clipboard busy>";
    std::string text;
    if (const HANDLE data = GetClipboardData(CF_TEXT)) {
      if (const auto* chars = static_cast<const char*>(GlobalLock(data))) {
        text.assign(chars, strnlen(chars, GlobalSize(data)));
        GlobalUnlock(data);
      }
    }
    CloseClipboard();
    return text;
  }

 private:
  fw::ScopedWindow owner_;
};

std::string Sorted(std::string text) {
  std::sort(text.begin(), text.end());
  return text;
}

std::string Unmasked(const tk::PinTransferRecord& record) {
  tk::PinPlain plain;
  if (!tk::UnmaskPinRecord(record, plain)) return "<bad record>";
  return std::string(reinterpret_cast<const char*>(plain.data()), plain.size());
}

class SoftKeyboard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(LoadDeviceLibrary((simtest::BinDir() + "\\RVControl.ini").c_str()), 0);
    LoadCachedTexts();
  }
  // Runs the first-use PIN dialog here while `user` drives it.
  INT_PTR RunDialog(const std::function<void(HWND dialog)>& user) {
    INT_PTR result = 0;
    std::thread driver([&] {
      const HWND window = WaitForDialogWith(IDC_NEW_PIN);
      if (window != nullptr) user(window);
    });
    result = dialog_.DoModal(nullptr);
    driver.join();
    return result;
  }
  CModifyPinDlg dialog_{"Quillon Tarnex UDISK 0", true, "title"};
};

TEST_F(SoftKeyboard, EachOpeningShufflesDigitsAndLettersAndTheDialogMakesRoom) {
  RuntimeRand();
  std::srand(20261208);  // the same two layouts at every run
  std::vector<std::string> digit_orders;
  std::string letters;
  RECT before = {}, grown = {}, after = {};
  int keys_found = 0;
  bool inside_dialog = false, closed = false;
  RunDialog([&](HWND window) {
    GetWindowRect(window, &before);
    for (int opening = 0; opening < 2; ++opening) {
      PressKeyboardButton(window);
      const HWND keyboard = WaitForKeyboard(window);
      ASSERT_NE(keyboard, nullptr);
      if (opening == 0) {
        GetWindowRect(window, &grown);
        inside_dialog = GetParent(keyboard) == window;
        for (int i = 0; i < kSoftKeyCount; ++i) keys_found += Key(keyboard, i) != nullptr;
        for (int i = kFirstLetterKey; i < kFirstLetterKey + 26; ++i) letters += Caption(keyboard, i).substr(0, 1);
      }
      std::string digits;
      for (int i = kFirstDigitKey; i < kFirstDigitKey + 10; ++i) digits += Caption(keyboard, i).substr(0, 1);
      digit_orders.push_back(digits);
      PressKeyboardButton(window);
      closed = WaitForKeyboard(window, false) == nullptr;
    }
    GetWindowRect(window, &after);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_EQ(keys_found, kSoftKeyCount);
  EXPECT_TRUE(inside_dialog);
  ASSERT_EQ(digit_orders.size(), 2u);
  for (const std::string& order : digit_orders) EXPECT_EQ(Sorted(order), "0123456789") << order;
  EXPECT_NE(digit_orders[0], digit_orders[1]);
  EXPECT_EQ(Sorted(letters), "abcdefghijklmnopqrstuvwxyz") << "lower case with Caps Lock off";
  EXPECT_GT(grown.bottom - grown.top, before.bottom - before.top + 100);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(EqualRect(&before, &after)) << "the dialog shrinks back";
}

TEST_F(SoftKeyboard, ClickedKeysArriveAsTheirCaptionsAndTypedKeysAsThemselves) {
  std::string expected;
  std::vector<std::size_t> stars_after_space_and_punctuation;
  std::string caps_captions;
  const INT_PTR result = RunDialog([&](HWND window) {
    const HWND field = GetDlgItem(window, IDC_NEW_PIN);
    PressKeyboardButton(window);
    const HWND keyboard = WaitForKeyboard(window);
    ASSERT_NE(keyboard, nullptr);
    const auto click = [&](int index, char arrives) {
      Click(Key(keyboard, index));
      if (arrives != 0) expected += arrives;
      else Sleep(300);  // nothing to wait for: give the key time to arrive
      WaitForStars(field, expected.size());
    };
    for (int i = kFirstDigitKey; i < kFirstDigitKey + 10; ++i) click(i, Caption(keyboard, i)[0]);
    for (int i = kFirstLetterKey; i < kFirstLetterKey + 3; ++i) click(i, Caption(keyboard, i)[0]);
    click(kShift, 0);  // latched for the next key only
    click(kFirstLetterKey + 3, static_cast<char>(std::toupper(Caption(keyboard, kFirstLetterKey + 3)[0])));
    click(kFirstLetterKey + 4, Caption(keyboard, kFirstLetterKey + 4)[0]);
    for (const int index : {kSpace, kPunctuation, kPunctuation + 5}) {
      click(index, 0);
      stars_after_space_and_punctuation.push_back(TextOf(field).size());
    }
    click(kCapsLock, 0);
    caps_captions = Caption(keyboard, kFirstLetterKey + 5);
    click(kFirstLetterKey + 5, caps_captions[0]);
    click(kCapsLock, 0);

    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_CONFIRM_PIN)), TRUE);
    TypePhysically(expected.substr(0, 20));
    WaitForStars(GetDlgItem(window, IDC_CONFIRM_PIN), std::min<std::size_t>(expected.size(), 20));
    PressOk(window);
  });
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(Unmasked(dialog_.new_record()), expected) << "clicked on the soft keyboard";
  EXPECT_EQ(expected.size(), 16u);
  for (const std::size_t stars : stars_after_space_and_punctuation) EXPECT_EQ(stars, 15u);
  EXPECT_TRUE(std::isupper(static_cast<unsigned char>(caps_captions[0]))) << caps_captions;
  EXPECT_EQ(SoftKeyboardWindow(), nullptr) << "OK closes the keyboard";
  EXPECT_EQ(GetKeyState(VK_CAPITAL) & 1, 0) << "Caps Lock is off again";
}

TEST_F(SoftKeyboard, TheQuitKeyAndTheCloseBoxCloseItTheMenuItemOnlyHidesIt) {
  std::vector<bool> closed;
  bool minimised = false, restored = false;
  std::string hide_text, show_text;
  RunDialog([&](HWND window) {
    const auto menu_text = [](HWND keyboard) {
      char text[200] = {};
      GetMenuStringA(GetSystemMenu(keyboard, FALSE), 301, text, sizeof text, MF_BYCOMMAND);
      return std::string(text);
    };
    for (const int route : {0, 1}) {
      PressKeyboardButton(window);
      const HWND keyboard = WaitForKeyboard(window);
      ASSERT_NE(keyboard, nullptr);
      if (route == 0) Click(Key(keyboard, 8));  // the quit key
      else PostMessageW(keyboard, WM_CLOSE, 0, 0);
      closed.push_back(WaitForKeyboard(window, false) == nullptr);
    }
    PressKeyboardButton(window);
    const HWND keyboard = WaitForKeyboard(window);
    ASSERT_NE(keyboard, nullptr);
    hide_text = menu_text(keyboard);
    SendMessageW(keyboard, WM_SYSCOMMAND, 301, 0);
    minimised = IsIconic(keyboard) != FALSE;
    show_text = menu_text(keyboard);
    SendMessageW(keyboard, WM_SYSCOMMAND, 301, 0);
    restored = IsIconic(keyboard) == FALSE && IsWindowVisible(keyboard) != FALSE;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_EQ(closed, (std::vector<bool>{true, true}));
  EXPECT_TRUE(minimised);
  EXPECT_TRUE(restored);
  EXPECT_EQ(hide_text.rfind("Hide &", 0), 0u) << hide_text;
  EXPECT_EQ(show_text.rfind("Show &", 0), 0u) << show_text;
  EXPECT_EQ(SoftKeyboardWindow(), nullptr) << "Cancel closes the keyboard";
}

// The label field is a plain edit: keys clicked for it must arrive as
// their captions without the PIN field's turning back.
TEST_F(SoftKeyboard, InTheLabelDialogTheLabelGetsTheKeysAndThePinItsOwn) {
  CModifyLabelDlg dialog;
  std::string label, pin;
  std::thread driver([&] {
    const HWND window = WaitForDialogWith(IDC_LABEL_PIN);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_LABEL_SOFT_KEYBOARD, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_LABEL_SOFT_KEYBOARD)));
    const HWND keyboard = WaitForKeyboard(window);
    ASSERT_NE(keyboard, nullptr);
    const HWND label_field = GetDlgItem(window, IDC_LABEL_NAME);
    for (const int index : {kFirstLetterKey, kFirstLetterKey + 1, kFirstDigitKey, kFirstLetterKey + 2}) {
      label += Caption(keyboard, index)[0];
      Click(Key(keyboard, index));
      for (int i = 0; i < 200 && TextOf(label_field).size() != label.size(); ++i) Sleep(10);
    }
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_LABEL_PIN)), TRUE);
    for (int index = kFirstDigitKey; index < kFirstDigitKey + 6; ++index) {
      pin += Caption(keyboard, index)[0];
      Click(Key(keyboard, index));
      WaitForStars(GetDlgItem(window, IDC_LABEL_PIN), pin.size());
    }
    LingerForScreenshot(GetDlgItem(window, IDC_LABEL_SOFT_KEYBOARD));
    PressOk(window);
  });
  const INT_PTR result = dialog.DoModal(nullptr);
  driver.join();
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(dialog.label(), label);
  EXPECT_EQ(Unmasked(dialog.pin_record()), pin);
  EXPECT_EQ(SoftKeyboardWindow(), nullptr) << "OK closes the keyboard";
}

// Shift+Insert and Shift+Delete are the edit control's own paste and cut,
// from the physical keyboard or from the soft keyboard's Shift and Ins or
// Del keys: none of them may bring the clipboard in or take stars out.
using PinField = SoftKeyboard;

TEST_F(PinField, ShiftInsertAndShiftDeletePasteAndCutNothingTypedOrClicked) {
  const ClipboardText clipboard("Paste9");
  ASSERT_EQ(ClipboardText::Now(), "Paste9");
  std::string expected = "a1b2c3d";
  std::size_t after_paste = 0, after_cut = 0, after_clicks = 0;
  const INT_PTR result = RunDialog([&](HWND window) {
    const HWND field = GetDlgItem(window, IDC_NEW_PIN);
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    Tap(VK_INSERT, true);
    TypePhysically("a");  // once it has arrived, so has the paste
    after_paste = WaitForStars(field, 1);
    TypePhysically("1b2c3");
    WaitForStars(field, 6);
    SendMessageW(field, EM_SETSEL, 0, -1);
    Tap(VK_DELETE, true);
    Tap(VK_END);
    TypePhysically("d");
    after_cut = WaitForStars(field, 7);

    PressKeyboardButton(window);
    const HWND keyboard = WaitForKeyboard(window);
    ASSERT_NE(keyboard, nullptr);
    for (const int index : {kShift, kInsert, kShift, kDelete, kFirstDigitKey}) Click(Key(keyboard, index));
    expected += Caption(keyboard, kFirstDigitKey)[0];
    after_clicks = WaitForStars(field, expected.size());

    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_CONFIRM_PIN)), TRUE);
    TypePhysically(expected);
    WaitForStars(GetDlgItem(window, IDC_CONFIRM_PIN), expected.size());
    PressOkOrCancel(window);
  });
  EXPECT_EQ(after_paste, 1u) << "Shift+Insert pasted into the empty field";
  EXPECT_EQ(after_cut, 7u) << "Shift+Delete cut the selected stars";
  EXPECT_EQ(after_clicks, expected.size()) << "Shift, Ins, Shift, Del on the soft keyboard";
  EXPECT_EQ(ClipboardText::Now(), "Paste9");
  ASSERT_EQ(result, IDOK);
  EXPECT_EQ(Unmasked(dialog_.new_record()), expected);
}

// Tabbing into a field that holds a PIN selects it all; what is typed then
// replaces it, here in a full field. Shift with an arrow only moves the
// caret. A selection made by a program (EM_SETSEL) is typed over too.
TEST_F(PinField, TypingOverASelectionStoresWhatWasTyped) {
  std::size_t retyped = 0;
  std::string confirmation;
  const INT_PTR result = RunDialog([&](HWND window) {
    const HWND field = GetDlgItem(window, IDC_NEW_PIN);
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    TypePhysically("abcdefghij0123456789");
    Tap(VK_TAB);        // to the confirmation
    Tap(VK_TAB, true);  // and back
    TypePhysically("x9y8z7w");
    Tap(VK_LEFT, true);
    Tap(VK_LEFT, true);
    TypePhysically("v");
    retyped = WaitForStars(field, 8);
    Type(window, IDC_CONFIRM_PIN, "x9ABzv7w");
    SendMessageW(GetDlgItem(window, IDC_CONFIRM_PIN), EM_SETSEL, 2, 4);
    Type(window, IDC_CONFIRM_PIN, "y8");
    confirmation = TextOf(GetDlgItem(window, IDC_CONFIRM_PIN));
    PressOkOrCancel(window);
  });
  EXPECT_EQ(retyped, 8u);
  EXPECT_EQ(confirmation, "********");
  ASSERT_EQ(result, IDOK) << "the confirmation matches the retyped PIN";
  EXPECT_EQ(Unmasked(dialog_.new_record()), "x9y8zv7w");
}

}  // namespace
