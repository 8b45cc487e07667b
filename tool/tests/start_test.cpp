// Brevant.exe started as a user starts it: hidden at start, one copy per
// session, the install run's zone settings, and no library at all.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "browser_standins.h"
#include "dialog_driving.h"
#include "resource.h"
#include "scoped_handle.h"
#include "sim_fixture.h"
#include "text.h"
#include "tool_driver.h"
#include "window.h"

namespace {

constexpr char kZones2[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\2";
constexpr char kDomains[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";

using brevant::testing::FindMainWindow;
using brevant::testing::TrayIconCount;

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeout_ms = 10000) {
  return brevant::testing::WaitUntil(condition, timeout_ms);
}

std::string LanguageText(const char* key) {
  char text[260] = {};
  GetPrivateProfileStringA("TOOL", key, "", text, sizeof text, (simtest::BinDir() + "\\TKLN0804.ini").c_str());
  return text;
}

std::string TitleText() { return LanguageText("TOOL_TITLE"); }

std::optional<DWORD> ReadDword(const char* path, const char* name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, path, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

void WriteDword(const char* path, const char* name, std::optional<DWORD> value) {
  fw::ScopedRegKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != 0)
    return;
  if (value) RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD));
  else RegDeleteValueA(key.get(), name);
}

// One running copy of the tool; closed (as the dialog manager closes it) or
// ended on destruction.
class Tool {
 public:
  explicit Tool(const std::string& arguments = "", const std::string& folder = simtest::BinDir()) {
    process_.reset(simtest::StartProcess("\"" + folder + "\\Brevant.exe\"" + (arguments.empty() ? "" : " ") + arguments));
  }
  ~Tool() {
    if (!process_) return;
    if (HWND window = FindMainWindow(GetProcessId(process_.get()))) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
  }
  HANDLE process() const { return process_.get(); }
  HWND WaitForWindow() const {
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindMainWindow(GetProcessId(process_.get()))) != nullptr; });
    return window;
  }
  std::optional<DWORD> WaitForExit(DWORD timeout_ms) const {
    if (WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

 private:
  fw::ScopedHandle process_;
};

// The tip the shell shows with the last icon, with the pointer over it.
std::string TrayTipText() {
  const HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  HWND icon = nullptr;
  for (HWND next = nullptr; (next = FindWindowExW(tray, next, L"__winex11_tray_icon", nullptr)) != nullptr;)
    icon = next;
  RECT place = {};
  if (icon == nullptr || !GetWindowRect(icon, &place)) return {};
  SetCursorPos(500, 300);  // from outside, so that the shell sees the pointer come in
  Sleep(200);
  SetCursorPos((place.left + place.right) / 2, (place.top + place.bottom) / 2);
  DWORD shell = 0;
  GetWindowThreadProcessId(tray, &shell);
  std::string text;
  WaitUntil([&] {
    for (HWND tip = nullptr; (tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) != nullptr;) {
      DWORD owner = 0;
      GetWindowThreadProcessId(tip, &owner);
      // The tip's text is the tooltip's own; only WM_GETTEXT asks for it.
      wchar_t shown[256] = {};
      if (owner == shell && SendMessageW(tip, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(shown)) > 0) {
        text = fw::WideToAnsi(shown);
        return true;
      }
    }
    return false;
  }, 5000);
  SetCursorPos(500, 300);
  return text;
}

HWND VisiblePopup() {
  const HWND popup = FindWindowW(L"Brevant.MsnWnd", nullptr);
  return popup != nullptr && IsWindowVisible(popup) ? popup : nullptr;
}

class BrevantStart : public ::testing::Test {
 protected:
  simtest::SimKeyFolder keys_;
  brevant::testing::BrowserStandins browsers_;  // keys come and go: the bank's site may be opened
};

TEST_F(BrevantStart, StartsHiddenWithItsTitleAndASecondCopyRaisesTheFirst) {
  const Tool first;
  const HWND window = first.WaitForWindow();
  ASSERT_NE(window, nullptr);
  Sleep(500);  // past the start-up painting
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(fw::WindowTextOf(window), TitleText());
  EXPECT_FALSE(TitleText().empty());

  char appdata[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appdata), S_OK);
  EXPECT_NE(GetFileAttributesA((std::string(appdata) + "\\Quillon\\RVControl.ini").c_str()),
            INVALID_FILE_ATTRIBUTES) << "the settings are read from the per-user copy";

  const Tool second;
  EXPECT_EQ(second.WaitForExit(10000), std::optional<DWORD>(0));
  EXPECT_EQ(FindMainWindow(GetProcessId(second.process())), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, 5000)) << "the first copy comes to the front";
}

TEST_F(BrevantStart, OnlyTheExactInstallCommandLineWritesTheZoneSettings) {
  const std::optional<DWORD> saved = ReadDword(kZones2, "1A04");
  const bool had_mapping = ReadDword((std::string(kDomains) + "\\vesbank.example\\ebank").c_str(), "https").has_value();
  struct Case {
    const char* arguments;
    bool install;
  };
  for (const Case c : {Case{"Install", false}, Case{"install ", false}, Case{"setup", false}, Case{"install", true}}) {
    WriteDword(kZones2, "1A04", 1);  // a value the install run replaces
    const Tool tool(c.arguments);
    ASSERT_NE(tool.WaitForWindow(), nullptr) << c.arguments;  // the install run comes before the window
    EXPECT_EQ(ReadDword(kZones2, "1A04"), std::optional<DWORD>(c.install ? 3 : 1)) << "[" << c.arguments << "]";
    if (c.install) {
      EXPECT_EQ(ReadDword(kZones2, "1200"), std::optional<DWORD>(0));
      EXPECT_EQ(ReadDword((std::string(kDomains) + "\\vesbank.example\\ebank").c_str(), "https"),
                std::optional<DWORD>(2));
    }
  }
  WriteDword(kZones2, "1A04", saved);
  if (!had_mapping) RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(kDomains) + "\\vesbank.example").c_str());
}

TEST_F(BrevantStart, KeysComingAndGoingDriveTheTrayIconThePopupAndTheWindow) {
  const int icons_before = TrayIconCount();
  ASSERT_EQ(simtest::Tokenctl("create first --pin-change-tag 1").exit_code, 0u);
  ASSERT_EQ(simtest::Tokenctl("create second --pin-change-tag 1").exit_code, 0u);
  const Tool tool;
  const HWND window = tool.WaitForWindow();
  ASSERT_NE(window, nullptr);
  Sleep(500);
  EXPECT_EQ(TrayIconCount(), icons_before) << "no key, no icon";

  ASSERT_EQ(simtest::Tokenctl("insert first").exit_code, 0u);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconCount() == icons_before + 1; }));
  EXPECT_TRUE(WaitUntil([] { return VisiblePopup() != nullptr; })) << "the arrival reached the window";
  EXPECT_EQ(TrayTipText(), LanguageText("TOOL_SYSTRAY_TIP"));
  ASSERT_EQ(simtest::Tokenctl("insert second").exit_code, 0u);
  Sleep(1000);
  EXPECT_EQ(TrayIconCount(), icons_before + 1) << "one icon for two keys";

  SendMessageW(window, WM_USER + 100, 167, WM_LBUTTONDBLCLK);  // what the shell sends on a double click
  ASSERT_TRUE(IsWindowVisible(window));
  ASSERT_EQ(simtest::Tokenctl("remove second").exit_code, 0u);
  Sleep(1000);
  EXPECT_TRUE(IsWindowVisible(window)) << "a key is still there";
  EXPECT_EQ(TrayIconCount(), icons_before + 1);

  PostMessageW(VisiblePopup(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  EXPECT_TRUE(WaitUntil([] { return VisiblePopup() == nullptr; })) << "a click closes the popup";
  ASSERT_EQ(simtest::Tokenctl("remove first").exit_code, 0u);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(window); })) << "the last removal hides the window";
  EXPECT_TRUE(WaitUntil([&] { return TrayIconCount() == icons_before; })) << "and takes the icon away";
  EXPECT_TRUE(WaitUntil([] { return VisiblePopup() != nullptr; })) << "the removal reached the window";
}

// The user is told once why no key will ever show, in the language file's
// words or, without that file, the tool's own; then the tool runs on.
TEST_F(BrevantStart, WithoutTheDeviceLibraryTellsTheUserOnceAndRunsOn) {
  const std::wstring built_in_text = fw::Utf8ToWide(
      "未找到USBKey设备库（RVA.dll），证书管理工具无法识别USBKey。请重新安装本软件，或联系银行获取USBKey驱动。");
  const struct {
    bool language_file;
    std::wstring caption, text;
  } cases[] = {
      {true, fw::AnsiToWide(TitleText()), fw::AnsiToWide(LanguageText("IDS_DEVICE_LIB_MISSING"))},
      {false, fw::Utf8ToWide("USBKey证书管理工具"), built_in_text},
  };
  ASSERT_FALSE(cases[0].text.empty()) << "the shipped language file has the text";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language_file ? "with the language file" : "without it");
    const simtest::TempFolder folder("brevant");
    for (const char* file : {"Brevant.exe", "RVControl.ini", "TKLN0804.ini", "Brevant.ico", "QZR_logo.bmp"}) {
      if (!c.language_file && std::string(file) == "TKLN0804.ini") continue;
      ASSERT_TRUE(CopyFileA((simtest::BinDir() + "\\" + file).c_str(), folder.File(file).c_str(), FALSE)) << file;
    }
    const Tool tool("", folder.path());
    const DWORD id = GetProcessId(tool.process());
    const HWND box = pintest::WaitForDialogWith(pintest::kMessageBoxText, id);
    ASSERT_NE(box, nullptr) << "no message box";
    wchar_t caption[128] = {}, text[512] = {};
    GetWindowTextW(box, caption, 128);
    GetWindowTextW(GetDlgItem(box, pintest::kMessageBoxText), text, 512);
    EXPECT_EQ(std::wstring(caption), c.caption);
    EXPECT_EQ(std::wstring(text), c.text);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(pintest::WaitUntilGone(box));
    const HWND window = tool.WaitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(fw::WindowTextOf(window), "") << "no library, no texts";
    EXPECT_EQ(pintest::FindDialogWith({pintest::kMessageBoxText}, id), nullptr) << "told once";
    EXPECT_EQ(WaitForSingleObject(tool.process(), 300), static_cast<DWORD>(WAIT_TIMEOUT)) << "still running";
  }
}

}  // namespace
