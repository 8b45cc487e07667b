// The PIN change flows on the software token, driven from a second thread
// the way a user does: typing into the PIN fields, pressing OK, answering
// the message boxes. Results read back from the token.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "device_table.h"
#include "dialog_driving.h"
#include "key_dialog_fixture.h"
#include "language.h"
#include "modify_pin_dlg.h"
#include "pin_change.h"
#include "pin_record.h"
#include "resource.h"

namespace {

using namespace brevant;

using namespace pintest;
using namespace keytest;

using PinChange = KeyDialogTest;

TEST_F(PinChange, FirstUseChangesTheFactoryPinAndTheKeyRemembersIt) {
  Insert("--pin-change-tag 0");
  EXPECT_EQ(NeedsPinChange(DeviceTable(), kReader), 0);
  std::string asked, told, stars;
  bool ok_enabled = false, old_field_enabled = true;
  Run([&] { ForcePinChangeIfNew(DeviceTable(), kReader, host_); },
      [&] {
        const HWND box = WaitForDialogWith(IDC_MSGBOX_TEXT);
        ASSERT_NE(box, nullptr);
        asked = TextOf(GetDlgItem(box, IDC_MSGBOX_TEXT));
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        const HWND dialog = WaitForDialogWith(IDC_NEW_PIN);
        ASSERT_NE(dialog, nullptr);
        old_field_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_OLD_PIN)) != FALSE;
        Type(dialog, IDC_NEW_PIN, "a1b2c3d4");
        Type(dialog, IDC_CONFIRM_PIN, "a1b2c3d4");
        stars = TextOf(GetDlgItem(dialog, IDC_NEW_PIN));
        LingerForScreenshot(GetDlgItem(dialog, IDC_NEW_PIN));
        ok_enabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
        PressOk(dialog);
        told = AnswerMessageBox();
      });
  EXPECT_EQ(asked, LngText("ChangePINPage", "IDS_USING_FIRSTTIME"));
  EXPECT_FALSE(old_field_enabled);
  EXPECT_EQ(stars, "********") << "the field shows only stars";
  EXPECT_TRUE(ok_enabled) << "first use: no old PIN needed";
  EXPECT_EQ(told, LngText("ChangePINPage", "IDS_SETPIN_SUCCESS"));
  EXPECT_TRUE(VerifiesWith("a1b2c3d4")) << "the change used the built-in initial PIN as the old one";
  EXPECT_NE(NeedsPinChange(DeviceTable(), kReader), 0);
  EXPECT_EQ(host_.refreshed, 1);
  // The question and the PIN dialog, each with its key while it is up.
  EXPECT_EQ(host_.registered, (std::vector<std::string>{kReader, kReader}));
  EXPECT_EQ(host_.unregistered, 2);
}

TEST_F(PinChange, TheDialogRejectsMismatchesTheOldPinAndSimplePins) {
  Insert("--pin-change-tag 0");
  struct Step {
    const char* pin;
    const char* confirmation;
    std::string expected;
  };
  const std::vector<Step> steps = {
      {"a1b2c3", "a1b2c4", LngText("ChangePINPage", "IDS_NEW_PIN_NOT_EQUAL")},
      {"12345678", "12345678", LngText("TOOL", "DLG_MOFIDY_PIN_SAMEASOLD")},
      {"111111", "111111", LngText("ChangePINPage", "IDS_PW_SOSIMPLE")},
      {"654321", "654321", LngText("ChangePINPage", "IDS_PW_SOSIMPLE")},
  };
  std::vector<std::string> told, emptied;
  bool short_refused = true;
  INT_PTR result = 0;
  CModifyPinDlg dialog(kReader, true, "title");
  Run([&] { result = dialog.DoModal(nullptr); },
      [&] {
        const HWND window = WaitForDialogWith(IDC_NEW_PIN);
        ASSERT_NE(window, nullptr);
        Type(window, IDC_NEW_PIN, "abcd1");
        Type(window, IDC_CONFIRM_PIN, "abcd1");
        short_refused = IsWindowEnabled(GetDlgItem(window, IDOK)) == FALSE;
        SendMessageW(GetDlgItem(window, IDC_NEW_PIN), WM_CHAR, VK_BACK, 0);
        for (int i = 0; i < 5; ++i) SendMessageW(GetDlgItem(window, IDC_CONFIRM_PIN), WM_CHAR, VK_BACK, 0);
        for (int i = 0; i < 4; ++i) SendMessageW(GetDlgItem(window, IDC_NEW_PIN), WM_CHAR, VK_BACK, 0);
        for (const Step& step : steps) {
          Type(window, IDC_NEW_PIN, step.pin);
          Type(window, IDC_CONFIRM_PIN, step.confirmation);
          PressOk(window);
          told.push_back(AnswerMessageBox());
          emptied.push_back(TextOf(GetDlgItem(window, IDC_NEW_PIN)) + TextOf(GetDlgItem(window, IDC_CONFIRM_PIN)));
        }
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      });
  EXPECT_TRUE(short_refused) << "five characters";
  ASSERT_EQ(told.size(), steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_EQ(told[i], steps[i].expected) << steps[i].pin;
    EXPECT_EQ(emptied[i], "") << "both new fields emptied after " << steps[i].pin;
  }
  EXPECT_EQ(result, IDCANCEL);
}

TEST_F(PinChange, PinFieldsKeepTwentyLettersOrDigitsInOrderAndNothingElse) {
  Insert("--pin-change-tag 0");
  std::string after_twenty_one, after_paste;
  INT_PTR result = 0;
  CModifyPinDlg dialog(kReader, true, "title");
  Run([&] { result = dialog.DoModal(nullptr); },
      [&] {
        const HWND window = WaitForDialogWith(IDC_NEW_PIN);
        ASSERT_NE(window, nullptr);
        const HWND field = GetDlgItem(window, IDC_NEW_PIN);
        Type(window, IDC_NEW_PIN, "abcdefghij0123456789x");
        after_twenty_one = TextOf(field);
        SendMessageW(field, WM_PASTE, 0, 0);
        Type(window, IDC_NEW_PIN, " -!");
        after_paste = TextOf(field);
        for (int i = 0; i < 20; ++i) SendMessageW(field, WM_CHAR, VK_BACK, 0);
        Type(window, IDC_NEW_PIN, "a1b2c3d4");
        SendMessageW(field, EM_SETSEL, 4, 4);
        SendMessageW(field, WM_CHAR, VK_BACK, 0);  // the "2"
        SendMessageW(field, EM_SETSEL, 7, 7);
        Type(window, IDC_CONFIRM_PIN, "a1bc3d4");
        PressOk(window);
      });
  EXPECT_EQ(after_twenty_one, std::string(20, '*')) << "a 21st character is refused";
  EXPECT_EQ(after_paste, std::string(20, '*')) << "no paste, no blanks or punctuation";
  ASSERT_EQ(result, IDOK) << "new PIN and confirmation agree once the middle character is gone";
  tk::PinPlain plain;
  ASSERT_TRUE(tk::UnmaskPinRecord(dialog.new_record(), plain));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain.data()), plain.size()), "a1bc3d4");
  tk::PinPlain initial;
  ASSERT_TRUE(tk::UnmaskPinRecord(dialog.old_record(), initial));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(initial.data()), initial.size()), "12345678")
      << "first use: the old record is the built-in initial PIN";
}

TEST_F(PinChange, AWrongOldPinWithOneTryLeftWarnsTwice) {
  Insert("--pin-change-tag 1 --user-tries-left 2");
  std::string first, second;
  Run([&] { ChangePinForKey(DeviceTable(), host_, kReader); },
      [&] {
        const HWND dialog = WaitForDialogWith(IDC_NEW_PIN);
        ASSERT_NE(dialog, nullptr);
        Type(dialog, IDC_OLD_PIN, "99999999");
        Type(dialog, IDC_NEW_PIN, "a1b2c3d4");
        Type(dialog, IDC_CONFIRM_PIN, "a1b2c3d4");
        PressOk(dialog);
        first = AnswerMessageBox(IDCANCEL);
        second = AnswerMessageBox();
      });
  EXPECT_NE(first.find('1'), std::string::npos) << first;
  EXPECT_EQ(second, LngText("QLHWInfo", "TX_PIN_LAST_ONE"));
  EXPECT_TRUE(VerifiesWith("12345678")) << "the PIN is unchanged";
}

}  // namespace

namespace {

// What the key answers to the change decides the message; the PIN stays.
TEST_F(PinChange, TheKeysRefusalsEndBothFlowsWithTheirMessages) {
  const struct {
    bool first_use;
    const char* result;
    const char* section;
    const char* text;
  } cases[] = {
      {true, "0x8800003E", "DeviceInfoPage", "IDS_USER_PIN_LOCKED"},
      {true, "0x88000061", "ChangePINPage", "IDS_USERCANCLE_CHANGEPIN"},
      {false, "0x8800003E", "DeviceInfoPage", "IDS_USER_PIN_LOCKED"},
      {false, "0xE002001A", "ChangePINPage", "IDS_USERCANCLE_CHANGEPIN"},
      {false, "0xE0020013", "ChangePINPage", "IDS_USERCANCLE_CHANGEPIN"},
  };
  for (const auto& c : cases) {
    Insert(c.first_use ? "--pin-change-tag 0" : "--pin-change-tag 1");
    ASSERT_EQ(simtest::Tokenctl(std::string("fail k TK_ChangeUserPinSec ") + c.result).exit_code, 0u);
    std::string told;
    Run([&] {
          if (c.first_use) ForcePinChangeIfNew(DeviceTable(), kReader, host_);
          else ChangePinForKey(DeviceTable(), host_, kReader);
        },
        [&] {
          if (c.first_use) {  // the first-use question, in the tool's own message box
            const HWND box = WaitForDialogWith(IDC_MSGBOX_TEXT);
            ASSERT_NE(box, nullptr);
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          }
          const HWND dialog = WaitForDialogWith(IDC_NEW_PIN);
          ASSERT_NE(dialog, nullptr);
          if (!c.first_use) Type(dialog, IDC_OLD_PIN, "12345678");
          Type(dialog, IDC_NEW_PIN, "a1b2c3d4");
          Type(dialog, IDC_CONFIRM_PIN, "a1b2c3d4");
          PressOk(dialog);
          told = AnswerMessageBox();
        });
    EXPECT_EQ(told, LngText(c.section, c.text)) << c.result << (c.first_use ? " first use" : "");
    EXPECT_TRUE(VerifiesWith("12345678")) << c.result;
    ASSERT_EQ(simtest::Tokenctl("delete k").exit_code, 0u);
  }
}

// With Caps Lock on when the dialog opens, the rules tip comes up under the
// new PIN, the field it is about, whichever field the soft keyboard targets.
TEST_F(PinChange, CapsLockOnAtTheStartShowsTheTipUnderTheNewPin) {
  Insert("--pin-change-tag 1");
  BYTE keys[256] = {};
  ASSERT_TRUE(GetKeyboardState(keys));
  const BYTE caps_before = keys[VK_CAPITAL];
  keys[VK_CAPITAL] |= 1;  // toggled on, for this thread, where the dialog runs
  ASSERT_TRUE(SetKeyboardState(keys));
  RECT tip = {};
  std::vector<RECT> fields(3);
  Run([&] { ChangePinForKey(DeviceTable(), host_, kReader); },
      [&] {
        const HWND dialog = WaitForDialogWith(IDC_NEW_PIN);
        ASSERT_NE(dialog, nullptr);
        const int ids[] = {IDC_OLD_PIN, IDC_NEW_PIN, IDC_CONFIRM_PIN};
        for (int i = 0; i < 3; ++i) GetWindowRect(GetDlgItem(dialog, ids[i]), &fields[i]);
        for (int i = 0; i < 1000; ++i) {
          const HWND tooltip = FindWindowW(L"CPPToolTip", nullptr);
          if (tooltip != nullptr && IsWindowVisible(tooltip) && GetWindowRect(tooltip, &tip)) break;
          Sleep(10);
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      });
  keys[VK_CAPITAL] = caps_before;
  SetKeyboardState(keys);
  // The field whose bottom edge the tip hangs from.
  int nearest = 0;
  for (int i = 1; i < 3; ++i)
    if (std::abs(tip.top - fields[i].bottom) < std::abs(tip.top - fields[nearest].bottom)) nearest = i;
  EXPECT_NE(tip.bottom, 0) << "no tip shown";
  EXPECT_EQ(nearest, 1) << "the tip hangs under the new PIN, top " << tip.top;
}

TEST_F(PinChange, ALockedNewKeyIsNotAskedForANewPin) {
  Insert("--pin-change-tag 0 --user-tries-left 0");
  ForcePinChangeIfNew(DeviceTable(), kReader, host_);  // returns at once: no dialog to answer
  EXPECT_TRUE(host_.registered.empty());
  EXPECT_EQ(NeedsPinChange(DeviceTable(), kReader), 0) << "still new";
}

}  // namespace
