// The label change on the software token, the user played from a second
// thread: the dialog's limits, then every answer of the key and what it
// leaves on the key and in the tree.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "device_layer.h"
#include "device_table.h"
#include "dialog_driving.h"
#include "key_dialog_fixture.h"
#include "label_change.h"
#include "language.h"
#include "modify_label_dlg.h"
#include "resource.h"
#include "text.h"

namespace {

using namespace brevant;
using namespace keytest;
using namespace pintest;

using LabelChange = KeyDialogTest;

std::string WideText(HWND window) {
  wchar_t text[64] = {};
  GetWindowTextW(window, text, 64);
  return fw::WideToAnsi(text);
}

void TypeWide(HWND field, const wchar_t* text) {
  for (const wchar_t* c = text; *c != L'\0'; ++c) SendMessageW(field, WM_CHAR, *c, 0);
}

TEST_F(LabelChange, TheLabelStaysWithinFifteenBytesAndOkWaitsForLabelAndPin) {
  Insert("--pin-change-tag 1");
  std::string latin, chinese;
  std::vector<bool> ok_enabled;
  DWORD caret = 0;
  CModifyLabelDlg dialog;
  Run([&] { dialog.DoModal(nullptr); },
      [&] {
        const HWND window = WaitForDialogWith(IDC_LABEL_PIN);
        ASSERT_NE(window, nullptr);
        const HWND label = GetDlgItem(window, IDC_LABEL_NAME);
        const auto ok = [&] { ok_enabled.push_back(IsWindowEnabled(GetDlgItem(window, IDOK)) != FALSE); };
        Type(window, IDC_LABEL_PIN, "123456");
        ok();  // no label
        Type(window, IDC_LABEL_NAME, "ABCDEFGHIJKLMNOP");
        latin = WideText(label);
        SendMessageW(label, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
        SendMessageW(GetDlgItem(window, IDC_LABEL_PIN), WM_CHAR, VK_BACK, 0);
        ok();  // five characters of PIN
        Type(window, IDC_LABEL_PIN, "7");
        ok();
        SetWindowTextW(label, L"");
        // Seven characters of two bytes each, then one more byte fits, a
        // further double-byte character does not.
        TypeWide(label, L"\x5de5\x5546\x94f6\x884c\x7f51\x94f6\x76fe" L"a\x5bc6");
        chinese = WideText(label);
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      });
  EXPECT_EQ(latin, "ABCDEFGHIJKLMNO") << "a 16th byte is refused";
  EXPECT_EQ(caret, 15u) << "the caret at the end";
  EXPECT_EQ(ok_enabled, (std::vector<bool>{false, false, true}));
  EXPECT_EQ(chinese, fw::WideToAnsi(L"\x5de5\x5546\x94f6\x884c\x7f51\x94f6\x76fe" L"a"));
  EXPECT_EQ(chinese.size(), 15u);
}

// Each case: the key as made, a refusal injected, the PIN typed, the
// message boxes expected in order (each answered with OK unless a Cancel is
// given), and whether the label reached the key.
TEST_F(LabelChange, EveryAnswerOfTheKeyEndsOrRepeatsAsItShould) {
  char retry_question[260] = {};
  std::snprintf(retry_question, sizeof retry_question, LngText("QLAppView", "QLAPP_VERIFYPIN_ERR").c_str(), 1);
  const struct {
    const char* name;
    const char* options;
    const char* fault;
    const char* pin;
    std::vector<std::string> told;
    int showings;  // dialogs answered with OK before a last Cancel, if any
    bool written;
  } cases[] = {
      {"written", "", "", "12345678", {LngText("TOOL", "LABLE_MODIFY_SUS")}, 1, true},
      {"wrong PIN, one try left", "--user-tries-left 2", "", "99999999",
       {retry_question, LngText("QLHWInfo", "TX_PIN_LAST_ONE")}, 1, false},
      {"write refused", "", "TK_WriteLabel 0x88000001", "12345678", {LngText("TOOL", "LABLE_MODIFY_FAILED")}, 1,
       false},
      {"time-out, then again", "", "TK_VerifyUserPinSec 0xE0020013 --times 1", "12345678",
       {LngText("CSPRelInfo", "IDS_TIMEOUT_OPRATE"), LngText("TOOL", "LABLE_MODIFY_SUS")}, 2, true},
      {"locked", "", "TK_VerifyUserPinSec 0x8800003E", "12345678",
       {LngText("DeviceInfoPage", "IDS_USER_PIN_LOCKED")}, 1, false},
      {"cancelled on the key", "", "TK_VerifyUserPinSec 0xE002001A", "12345678",
       {LngText("ChangePINPage", "IDS_USERCANCLE_CHANGELABLE")}, 1, false},
  };
  for (const auto& c : cases) {
    Insert(std::string("--pin-change-tag 1 --label Old ") + c.options);
    if (*c.fault != '\0') Tokenctl(std::string("fail k ") + c.fault);
    host_ = Host();
    std::vector<std::string> told, label_shown;
    std::atomic<bool> done = false;
    Run([&] {
          ChangeLabelForKey(DeviceTable(), host_, kReader);
          done = true;
        },
        [&] {
          int showings = 0;
          while (!done) {
            const HWND window = FindDialogWithAny({IDC_LABEL_PIN, kMessageBoxText}, done);
            if (window == nullptr) break;
            if (GetDlgItem(window, kMessageBoxText) != nullptr) {
              told.push_back(AnswerMessageBox());
              continue;
            }
            label_shown.push_back(TextOf(GetDlgItem(window, IDC_LABEL_NAME)));
            if (showings++ == c.showings) {
              PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
              WaitUntilGone(window);
              continue;
            }
            if (label_shown.back().empty()) Type(window, IDC_LABEL_NAME, "New");
            Type(window, IDC_LABEL_PIN, c.pin);
            PressOk(window);
            WaitUntilGone(window);
          }
        });
    EXPECT_EQ(told, c.told) << c.name;
    EXPECT_EQ(ReadKeyLabel(DeviceTable(), kReader), c.written ? "New" : "Old") << c.name;
    EXPECT_EQ(host_.refreshed, c.written ? 1 : 0) << c.name << ": the tree is refreshed after a write only";
    EXPECT_EQ(host_.registered.size(), label_shown.size()) << c.name;
    for (std::size_t i = 1; i < label_shown.size(); ++i) EXPECT_EQ(label_shown[i], "New") << c.name << ": kept";
    Tokenctl("delete k");
  }
}

TEST_F(LabelChange, PullingTheKeyOutClosesTheDialog) {
  Insert("--pin-change-tag 1 --label Old");
  bool closed = false;
  Run([&] { ChangeLabelForKey(DeviceTable(), host_, kReader); },
      [&] {
        const HWND window = WaitForDialogWith(IDC_LABEL_PIN);
        ASSERT_NE(window, nullptr);
        Type(window, IDC_LABEL_NAME, "New");
        Tokenctl("remove k");
        // What the main window does for the dialogs of a removed key.
        PostMessageW(host_.last_dialog, WM_SYSCOMMAND, SC_CLOSE, 100);
        closed = WaitUntilGone(window);
      });
  EXPECT_TRUE(closed);
  EXPECT_EQ(host_.unregistered, 1);
  Tokenctl("insert k");
  EXPECT_EQ(ReadKeyLabel(DeviceTable(), kReader), "Old");
}

}  // namespace
