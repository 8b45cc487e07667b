// Brevant.exe running, keys with certificates plugged in and pulled out with
// tokenctl: the tree, the store entries of the tool's provider, the window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "cert_store.h"
#include "device_layer.h"
#include "device_table.h"
#include "dialog_driving.h"
#include "language.h"
#include "pin_record.h"
#include "resource.h"
#include "scoped_crypt.h"
#include "scoped_handle.h"
#include "settings.h"
#include "sim_fixture.h"
#include "running_tool.h"
#include "tool_driver.h"
#include "text.h"
#include "window.h"

namespace {

using brevant::testing::FindMainWindow;
using brevant::testing::TreeNodes;
using brevant::testing::WaitUntil;

using CertFlow = brevant::testing::RunningTool;

TEST_F(CertFlow, CertificatesComeWithTheKeyAndGoWithIt) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(TreeNodes(window), 1) << "the no-key placeholder";
  Tokenctl("insert first");
  EXPECT_TRUE(WaitUntil([&] { return TreeNodes(window) == 3; })) << "the key and its two certificates";
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 2; }));
  Tokenctl("remove first");
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 0; }));
  EXPECT_TRUE(WaitUntil([&] { return TreeNodes(window) == 1; }));
}

TEST_F(CertFlow, AKeyPluggedInOpensTheBankSiteOnceAndNotWhileAWindowShowsIt) {
  const std::string bank = brevant::testing::ShippedSetting("TOOL", "IDS_KEY_INSRT_URL");
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  Tokenctl("insert first");
  std::vector<brevant::testing::BrowserStart> starts = browsers_.WaitForStarts(1);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_TRUE(browsers_.IsBuiltin(starts[0].program)) << starts[0].program;
  EXPECT_EQ(starts[0].Arguments(), bank);

  browsers_.ShowWindows({bank + "index.html"});
  ASSERT_TRUE(brevant::testing::ClosePopup());
  Tokenctl("insert second");
  ASSERT_TRUE(WaitUntil([&] { return TreeNodes(window) == 6; }));
  // Returns once the arrival's handling, which filled the tree, is over.
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr);
  EXPECT_EQ(browsers_.Starts().size(), 1u) << "the bank's page is open already";

  PostMessageW(window, WM_COMMAND, ID_CMD_START_BROWSER, 0);
  starts = browsers_.WaitForStarts(2);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[1].command_line, "\"" + browsers_.standin() + "\" ") << "the App Paths browser, no address";

  // The last removal walks the window list on the key monitor's thread.
  Tokenctl("remove first");
  Tokenctl("remove second");
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 0; }));
  EXPECT_EQ(WaitForSingleObject(tool_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(CertFlow, PullingOneOfTwoKeysLeavesTheOthersCertificatesInTheStore) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  Tokenctl("insert first");
  Tokenctl("insert second");
  // ku-sig is on both keys: one store entry per certificate, so three.
  ASSERT_TRUE(WaitUntil([] { return ProviderEntries() == 3; })) << ProviderEntries();
  // Without a popup to replace, the window handles the removal at once, as
  // it does on a desktop.
  ASSERT_TRUE(brevant::testing::ClosePopup());
  Tokenctl("remove first");
  Sleep(1500);  // the removal's pauses and the refresh after them
  EXPECT_TRUE(WaitUntil([] { return ProviderEntries() == 2; })) << ProviderEntries();
  EXPECT_EQ(TreeNodes(window), 3);
}

}  // namespace

namespace {

std::string ToolTitle() {
  char text[260] = {};
  GetPrivateProfileStringA("TOOL", "TOOL_TITLE", "", text, sizeof text, (simtest::BinDir() + "\\TKLN0804.ini").c_str());
  return text;
}

// A visible top-level window of `process` of `class_name` other than `except`.
HWND FindWindowOf(DWORD process, const wchar_t* class_name, HWND except = nullptr) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, class_name, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process && window != except && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

TEST_F(CertFlow, WindowKeepsItsRulesAndOpensTheViewerAndTheOneItemMenu) {
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const DWORD process = GetProcessId(tool_.get());
  Tokenctl("insert first");
  ASSERT_TRUE(WaitUntil([&] { return TreeNodes(window) == 3; }));
  SendMessageW(window, WM_USER + 100, 167, WM_LBUTTONDBLCLK);  // the shell's double click
  ASSERT_TRUE(IsWindowVisible(window));

  const HWND tree = GetDlgItem(window, IDC_KEY_TREE);
  for (WPARAM key : {VK_ESCAPE, VK_RETURN}) PostMessageW(tree, WM_KEYDOWN, key, 0);
  std::string long_data(500, 'A');  // no terminator, beyond every limit
  COPYDATASTRUCT data = {0, static_cast<DWORD>(long_data.size()), long_data.data()};
  SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  Sleep(300);
  EXPECT_TRUE(IsWindowVisible(window)) << "Escape and Return do nothing";
  EXPECT_EQ(WaitForSingleObject(tool_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  // The viewer for the first certificate, with the tool's title.
  const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  const auto cert = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)root));
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(cert));
  PostMessageW(window, WM_COMMAND, IDC_CERT_INFO, 0);
  HWND viewer = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (viewer = FindWindowOf(process, L"#32770", window)) != nullptr; }));
  if (viewer != nullptr) {
    EXPECT_EQ(fw::WindowTextOf(viewer), ToolTitle());
    PostMessageW(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return FindWindowOf(process, L"#32770", window) == nullptr; }));
  }

  PostMessageW(window, WM_USER + 100, 167, WM_RBUTTONUP);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (menu = FindWindowOf(process, L"#32768")) != nullptr; }));
  // Menus belong to their process here: the menu's height tells its items.
  RECT place = {};
  GetWindowRect(menu, &place);
  EXPECT_LT(place.bottom - place.top, 2 * GetSystemMetrics(SM_CYMENU)) << "the tray menu offers one item";
  PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return FindWindowOf(process, L"#32768") == nullptr; }));

  SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindowVisible(window)) << "the close box hides the window";
  EXPECT_EQ(WaitForSingleObject(tool_.get(), 300), static_cast<DWORD>(WAIT_TIMEOUT)) << "and the tool goes on";
}

// The first-use change end to end: the tool asks, the user answers in its
// dialogs, the key takes the new PIN and no longer counts as new.
TEST_F(CertFlow, AFactoryKeyPluggedInIsAskedForANewPinAndKeepsIt) {
  ASSERT_EQ(brevant::LoadDeviceLibrary((simtest::BinDir() + "\\RVControl.ini").c_str()), 0);
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const DWORD tool = GetProcessId(tool_.get());
  Tokenctl("create fresh");
  Tokenctl("insert fresh");
  const HWND question = pintest::WaitForDialogWith(IDC_MSGBOX_TEXT, tool);
  ASSERT_NE(question, nullptr) << "the first-use question";
  PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  const HWND dialog = pintest::WaitForDialogWith(IDC_NEW_PIN, tool);
  ASSERT_NE(dialog, nullptr);
  pintest::Type(dialog, IDC_NEW_PIN, "k7m2p9q4");
  pintest::Type(dialog, IDC_CONFIRM_PIN, "k7m2p9q4");
  pintest::PressOk(dialog);
  EXPECT_EQ(pintest::AnswerMessageBox(IDOK, tool), brevant::LngText("ChangePINPage", "IDS_SETPIN_SUCCESS"));

  const auto& api = brevant::DeviceTable();
  tk::PinTransferRecord record = {};
  std::uint8_t mask[tk::kPinMaskSize] = {};
  for (std::size_t i = 0; i < sizeof mask; ++i) mask[i] = static_cast<std::uint8_t>(0x5A ^ i);
  tk::MaskPinIntoRecord("k7m2p9q4", 8, mask, record);
  TK_HANDLE device = nullptr;
  ASSERT_EQ(api.TK_ConnectDev("Quillon Tarnex UDISK 0", &device), tk::kOk);
  BYTE left = 0;
  EXPECT_EQ(api.TK_VerifyUserPinSec(device, &record, &left), tk::kOk) << "the key takes the new PIN";
  ULONG tag = 0;
  EXPECT_EQ(api.TK_GetPinChangeTag(device, &tag), tk::kOk);
  EXPECT_NE(tag, 0u) << "no longer new";
  api.TK_DisConnectDev(device);
}

}  // namespace

namespace {

// The key's own buttons in the running tool: its information, then a new
// label; the dialogs belong to the tool's process and go with their key.
TEST_F(CertFlow, TheKeyButtonsShowTheKeyAndRenameIt) {
  ASSERT_EQ(brevant::LoadDeviceLibrary((simtest::BinDir() + "\\RVControl.ini").c_str()), 0);
  const HWND window = Start();
  ASSERT_NE(window, nullptr);
  const DWORD tool = GetProcessId(tool_.get());
  Tokenctl("create plain --pin-change-tag 1 --label Old");  // no certificate: no bank page either
  Tokenctl("insert plain");
  // The popup says the tool has heard of the key.
  const auto key_noticed = [] {
    const bool seen = WaitUntil([] { return IsWindowVisible(FindWindowW(L"Brevant.MsnWnd", nullptr)) != FALSE; });
    return seen && brevant::testing::ClosePopup();
  };
  ASSERT_TRUE(key_noticed());
  const HWND tree = GetDlgItem(window, IDC_KEY_TREE);
  const auto select_key = [&] {
    const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
  };
  select_key();
  PostMessageW(window, WM_COMMAND, IDC_KEY_INFO, 0);
  const HWND info = pintest::WaitForDialogWith(IDC_KEY_INFO_LIST, tool);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(SendMessageW(GetDlgItem(info, IDC_KEY_INFO_LIST), LVM_GETITEMCOUNT, 0, 0), 8);
  Tokenctl("remove plain");
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(info); })) << "pulling the key out closes it";

  Tokenctl("insert plain");
  ASSERT_TRUE(key_noticed());
  select_key();
  PostMessageW(window, WM_COMMAND, IDC_CHANGE_LABEL, 0);
  const HWND dialog = pintest::WaitForDialogWith(IDC_LABEL_PIN, tool);
  ASSERT_NE(dialog, nullptr);
  pintest::Type(dialog, IDC_LABEL_NAME, "Renamed");
  pintest::Type(dialog, IDC_LABEL_PIN, "12345678");
  pintest::PressOk(dialog);
  EXPECT_EQ(pintest::AnswerMessageBox(IDOK, tool), brevant::LngText("TOOL", "LABLE_MODIFY_SUS"));
  EXPECT_EQ(brevant::ReadKeyLabel(brevant::DeviceTable(), "Quillon Tarnex UDISK 0"), "Renamed");
}

// The uninstaller's run: the provider's entries go as with the remove
// command, without a window or a question, from a folder without the
// device library (whose missing-library notice would wait for a click).
TEST_F(CertFlow, TheUninstallRunTakesTheProvidersEntriesOutQuietly) {
  std::string cert;
  ASSERT_TRUE(simtest::ReadFileBytes(simtest::CertFile("expired"), cert));
  const std::string provider = Setting("CSP_NAME");
  const std::wstring sm2_store = fw::AnsiToWide(Setting("SM2_STORE_NAME"));
  for (const wchar_t* store_name : {L"MY", sm2_store.c_str()}) {
    const fw::ScopedCertStore store(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, store_name));
    ASSERT_EQ(brevant::AddCertWithKeyProvider(store.get(), reinterpret_cast<const BYTE*>(cert.data()),
                                              static_cast<DWORD>(cert.size()), provider.c_str(), "c1", AT_SIGNATURE),
              0u);
  }
  ASSERT_EQ(ProviderEntries(), 1);
  ASSERT_EQ(brevant::testing::ProviderEntries(provider, sm2_store.c_str()), 1);
  const simtest::TempFolder folder("brvuninst");
  for (const char* file : {"Brevant.exe", "RVControl.ini"})
    ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\" + file).c_str(), folder.File(file).c_str(), FALSE)) << file;

  const simtest::ProcessResult run = simtest::RunProcess("\"" + folder.File("Brevant.exe") + "\" uninstall", 30000);
  EXPECT_EQ(run.exit_code, 0u) << "it ends by itself";
  EXPECT_EQ(ProviderEntries(), 0);
  EXPECT_EQ(brevant::testing::ProviderEntries(provider, sm2_store.c_str()), 0);
}

}  // namespace
