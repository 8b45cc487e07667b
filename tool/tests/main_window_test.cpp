// The main window of a running Brevant.exe as a user and the suite's other
// programs meet it: keys typed into the dialogs over it, messages that come
// while a message box is up, messages no program of the suite sends.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "device_layer.h"
#include "device_table.h"
#include "dialog_driving.h"
#include "language.h"
#include "resource.h"
#include "scoped_crypt.h"
#include "running_tool.h"
#include "settings.h"
#include "tool_driver.h"

namespace {

using brevant::testing::ClosePopup;
using brevant::testing::TreeNodes;
using brevant::testing::WaitUntil;

constexpr char kReader[] = "Quillon Tarnex UDISK 0";

// A registered message of the suite, named with the customer code of the
// shipped settings.
UINT SuiteMessage(const char* name) {
  const int code = std::atoi(brevant::testing::ShippedSetting("CSPINFO", "PCODE").c_str());
  char digits[16] = {};
  std::snprintf(digits, sizeof digits, "%05d", code);
  return RegisterWindowMessageA((std::string(name) + digits).c_str());
}

// Waits until the tool's thread has handled everything posted before.
void Settle(HWND window) { SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr); }

void PressKey(WORD key) {
  keybd_event(static_cast<BYTE>(key), 0, 0, 0);
  keybd_event(static_cast<BYTE>(key), 0, KEYEVENTF_KEYUP, 0);
}

class MainWindow : public brevant::testing::RunningTool {
 protected:
  // The tool's texts, read through the device library as the tool reads them.
  void SetUp() override {
    RunningTool::SetUp();
    ASSERT_EQ(brevant::LoadDeviceLibrary((simtest::BinDir() + "\\RVControl.ini").c_str()), 0);
  }
};

TEST_F(MainWindow, EnterAndEscapeBelongToTheDialogOverTheMainWindow) {
  Tokenctl("create plain --pin-change-tag 1 --label Old");
  const HWND window = StartWithKey("plain");
  ASSERT_NE(window, nullptr);

  HWND dialog = OpenDialog(window, IDC_CHANGE_LABEL, IDC_LABEL_PIN);
  ASSERT_NE(dialog, nullptr);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(pintest::WaitUntilGone(dialog)) << "Escape cancels the label dialog";

  dialog = OpenDialog(window, IDC_CHANGE_LABEL, IDC_LABEL_PIN);
  ASSERT_NE(dialog, nullptr);
  pintest::Type(dialog, IDC_LABEL_NAME, "Renamed");
  pintest::Type(dialog, IDC_LABEL_PIN, "12345678");
  PressKey(VK_RETURN);
  EXPECT_EQ(pintest::AnswerMessageBox(IDOK, ToolProcess()), brevant::LngText("TOOL", "LABLE_MODIFY_SUS"));
  EXPECT_EQ(brevant::ReadKeyLabel(brevant::DeviceTable(), kReader), "Renamed") << "Enter confirms it";

  dialog = OpenDialog(window, IDC_CHANGE_PIN, IDC_OLD_PIN);
  ASSERT_NE(dialog, nullptr);
  pintest::Type(dialog, IDC_OLD_PIN, "12345678");
  pintest::Type(dialog, IDC_NEW_PIN, "k7m2p9q4");
  pintest::Type(dialog, IDC_CONFIRM_PIN, "k7m2p9q5");
  PressKey(VK_ESCAPE);  // the PIN dialog keeps Escape from closing it
  Settle(window);
  ASSERT_TRUE(IsWindowVisible(dialog));
  // A message box over the PIN dialog (the two new PINs differ) takes Escape.
  SetForegroundWindow(dialog);
  PressKey(VK_RETURN);
  const HWND mismatch = pintest::WaitForDialogWith(pintest::kMessageBoxText, ToolProcess());
  ASSERT_NE(mismatch, nullptr);
  SetForegroundWindow(mismatch);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(pintest::WaitUntilGone(mismatch)) << "Escape closes the message box";
  ASSERT_TRUE(IsWindowVisible(dialog));
  pintest::Type(dialog, IDC_NEW_PIN, "k7m2p9q4");
  pintest::Type(dialog, IDC_CONFIRM_PIN, "k7m2p9q4");
  SetForegroundWindow(dialog);
  PressKey(VK_RETURN);
  EXPECT_EQ(pintest::AnswerMessageBox(IDOK, ToolProcess()), brevant::LngText("TOOL", "DLG_MOFIDY_PIN_CHANGE_SUCCESS"))
      << "Enter confirms the PIN dialog";

  Settle(window);
  EXPECT_TRUE(IsWindowVisible(window)) << "the main window stays open throughout";
  EXPECT_TRUE(ToolRuns());
}

// The PIN dialog keeps Escape for itself only: a dialog of the tool over it,
// such as the first-use question of a key plugged in meanwhile, takes it.
TEST_F(MainWindow, ADialogOverThePinDialogTakesEscape) {
  Tokenctl("create plain --pin-change-tag 1");
  const HWND window = StartWithKey("plain");
  ASSERT_NE(window, nullptr);
  const HWND pin_dialog = OpenDialog(window, IDC_CHANGE_PIN, IDC_OLD_PIN);
  ASSERT_NE(pin_dialog, nullptr);
  Tokenctl("create fresh");
  Tokenctl("insert fresh");
  const HWND question = pintest::WaitForDialogWith(IDC_MSGBOX_TEXT, ToolProcess());
  ASSERT_NE(question, nullptr);
  SetForegroundWindow(question);
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(pintest::WaitUntilGone(question)) << "Escape answers the question";
  // Whatever the answer, the first-use flow goes on to its own PIN dialog.
  const HWND first_use = pintest::WaitForDialogWith(IDC_NEW_PIN, ToolProcess(), pin_dialog);
  if (first_use != nullptr) PostMessageW(first_use, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  if (IsWindowVisible(question)) PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(IsWindowVisible(pin_dialog)) << "the PIN dialog is still up";
  PostMessageW(pin_dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(pintest::WaitUntilGone(pin_dialog));
}

TEST_F(MainWindow, MessagesThatComeWhileAMessageBoxIsUpAreHandled) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const UINT certs_changed = SuiteMessage("2F6A1C83-7D4E-4B09-A3C5-18E2F4D7906B_");
  Tokenctl("insert first");
  Tokenctl("insert second");
  ASSERT_TRUE(WaitUntil([] { return ProviderEntries() == 3; })) << ProviderEntries();
  ASSERT_TRUE(ClosePopup());
  // Taking the certificates out answers in a message box, which runs a loop
  // of its own until the user answers.
  PostMessageW(window, WM_COMMAND, ID_CMD_REMOVE_CERTS, 0);
  ASSERT_NE(pintest::WaitForDialogWith(pintest::kMessageBoxText, ToolProcess()), nullptr);
  ASSERT_EQ(ProviderEntries(), 0);
  PostMessageW(window, certs_changed, 1, 0);
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 3; })) << "the keys' certificates listed again";

  // The built-in notice: every entry of the provider taken out, the keys
  // present registered again, the popup up.
  std::string stray;
  ASSERT_TRUE(simtest::ReadFileBytes(simtest::CertFile("expired"), stray));
  {
    const fw::ScopedCertStore store(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"MY"));
    ASSERT_EQ(brevant::AddCertWithKeyProvider(store.get(), reinterpret_cast<const BYTE*>(stray.data()),
                                              static_cast<DWORD>(stray.size()), Setting("CSP_NAME").c_str(),
                                              "gone", AT_SIGNATURE),
              0u);
  }
  ASSERT_EQ(ProviderEntries(), 4);
  SendMessageW(window, certs_changed, 2, 0);
  EXPECT_EQ(ProviderEntries(), 3) << "only the present keys'";
  EXPECT_TRUE(WaitUntil([] { return IsWindowVisible(FindWindowW(L"Brevant.MsnWnd", nullptr)) != FALSE; }));

  // The key monitor's own refresh after a removal comes the same way.
  Tokenctl("remove first");
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 2; })) << "the other key's certificates stay";
  EXPECT_EQ(pintest::AnswerMessageBox(IDOK, ToolProcess()), brevant::LngText("CertManagePage", "UNINSTALLCERT_SUC"));
}

TEST_F(MainWindow, KeyMessagesFromElsewhereAreIgnored) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  for (const LPARAM bogus : {LPARAM{0}, LPARAM{0x1234}, reinterpret_cast<LPARAM>(window)}) {
    PostMessageW(window, WM_USER + 102, 0, bogus);
    PostMessageW(window, WM_USER + 103, 0, bogus);
  }
  Settle(window);
  ASSERT_TRUE(ToolRuns());
  Tokenctl("insert first");
  EXPECT_TRUE(WaitUntil([&] { return TreeNodes(window) == 3; })) << "the next real key event is handled";
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 2; }));
}

TEST_F(MainWindow, TheFirstUseQuestionEndsWithItsKeyAndIsAskedOncePerRequest) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  Tokenctl("create fresh");
  Tokenctl("insert fresh");
  const HWND question = pintest::WaitForDialogWith(IDC_MSGBOX_TEXT, ToolProcess());
  ASSERT_NE(question, nullptr);
  Tokenctl("remove fresh");
  EXPECT_TRUE(pintest::WaitUntilGone(question));
  Settle(window);
  EXPECT_EQ(pintest::FindDialogWith({IDC_NEW_PIN}, ToolProcess()), nullptr) << "no PIN dialog for a key that went";

  // Two requests of another program while the first is answered: one flow.
  Tokenctl("insert fresh");
  const HWND arrival_question = pintest::WaitForDialogWith(IDC_MSGBOX_TEXT, ToolProcess());
  ASSERT_NE(arrival_question, nullptr);
  PostMessageW(arrival_question, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  HWND dialog = pintest::WaitForDialogWith(IDC_NEW_PIN, ToolProcess());
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(pintest::WaitUntilGone(dialog));
  // The second names a reader without a key: the first request is still
  // for the key it named.
  for (const char* reader : {kReader, "Quillon Tarnex UDISK 7"}) {
    std::string data = std::to_string(SuiteMessage("qzr_must_changeinitpin_"));
    data = std::string(8 - data.size(), '0') + data + reader;
    COPYDATASTRUCT copy = {0, static_cast<DWORD>(data.size()), data.data()};
    SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  }
  const HWND asked = pintest::WaitForDialogWith(IDC_MSGBOX_TEXT, ToolProcess());
  ASSERT_NE(asked, nullptr);
  PostMessageW(asked, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  dialog = pintest::WaitForDialogWith(IDC_NEW_PIN, ToolProcess());
  ASSERT_NE(dialog, nullptr);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  ASSERT_TRUE(pintest::WaitUntilGone(dialog));
  Settle(window);
  EXPECT_EQ(pintest::FindDialogWith({IDC_MSGBOX_TEXT, IDC_NEW_PIN}, ToolProcess()), nullptr) << "asked once";
}

TEST_F(MainWindow, ExitingAsksFirst) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const std::string question = brevant::LngText("MainFrm", "IDS_CONFIRM_EXIT");
  PostMessageW(window, WM_COMMAND, ID_MENU_CONFIRM_EXIT, 0);
  EXPECT_EQ(pintest::AnswerMessageBox(IDNO, ToolProcess()), question);
  Settle(window);
  EXPECT_TRUE(ToolRuns()) << "no goes on";
  PostMessageW(window, WM_COMMAND, ID_MENU_CONFIRM_EXIT, 0);
  EXPECT_EQ(pintest::AnswerMessageBox(IDYES, ToolProcess()), question);
  EXPECT_EQ(WaitForSingleObject(tool_.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0)) << "yes ends the tool";
}

}  // namespace
