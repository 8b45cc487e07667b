// The tray icon's requests to the shell, recorded in place of the shell, and
// its hidden window's handling of the shell's restart.
#include "system_tray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dpi.h"
#include "program_icon.h"

namespace {

using brevant::CSystemTray;

struct Request {
  DWORD message;
  NOTIFYICONDATAA record;
};
std::vector<Request> g_requests;
BOOL g_shell_answer = TRUE;
bool g_real_shell = false;  // requests go on to the shell itself

BOOL WINAPI RecordRequest(DWORD message, PNOTIFYICONDATAA record) {
  g_requests.push_back({message, *record});
  return g_real_shell ? Shell_NotifyIconA(message, record) : g_shell_answer;
}

// The icons the shell shows: under Wine, one window of its tray each.
int ShellIcons() {
  const HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  int count = 0;
  for (HWND icon = nullptr; (icon = FindWindowExW(tray, icon, L"__winex11_tray_icon", nullptr)) != nullptr;)
    count += IsWindowVisible(icon) ? 1 : 0;
  return tray != nullptr && IsWindowVisible(tray) ? count : 0;
}

bool ShellIconsBecome(int count) {
  const ULONGLONG until = GetTickCount64() + 10000;
  while (ShellIcons() != count) {
    if (GetTickCount64() > until) return false;
    Sleep(5);
  }
  return true;
}

class TrayIcon : public ::testing::Test {
 protected:
  void SetUp() override {
    g_requests.clear();
    g_shell_answer = TRUE;
    g_real_shell = false;
    tray_.SetShellForTesting(&RecordRequest);
    ASSERT_TRUE(tray_.CreateHiddenWindow());
  }
  void TearDown() override { tray_.Destroy(); }
  bool Create(const char* tip = "tip") { return tray_.Create(tip, icon_, 10); }
  void AnnounceShellRestart() {
    SendMessageW(tray_.hidden_window(), CSystemTray::TaskbarCreatedMessage(), 0, 0);
  }
  std::size_t Adds() const {
    std::size_t adds = 0;
    for (const Request& request : g_requests) adds += request.message == NIM_ADD;
    return adds;
  }

  HINSTANCE instance_ = GetModuleHandleW(nullptr);
  HICON icon_ = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
  CSystemTray tray_;
};

TEST_F(TrayIcon, AddsOneRecordAndDeletesItOnce) {
  ASSERT_TRUE(Create("USBKey tip"));
  ASSERT_EQ(g_requests.size(), 1u);
  const NOTIFYICONDATAA& added = g_requests[0].record;
  EXPECT_EQ(g_requests[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(added.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V3_SIZE));
  EXPECT_EQ(added.hWnd, tray_.hidden_window()) << "no main window registered";
  EXPECT_EQ(added.uID, 167u);
  EXPECT_EQ(added.uCallbackMessage, 1124u);
  EXPECT_EQ(added.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
  EXPECT_EQ(added.hIcon, icon_);
  EXPECT_STREQ(added.szTip, "USBKey tip");
  EXPECT_EQ(added.uTimeout, 10000u);
  EXPECT_EQ(added.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
  EXPECT_STREQ(added.szInfo, "");

  EXPECT_TRUE(tray_.RemoveIcon());
  ASSERT_EQ(g_requests.size(), 2u);
  EXPECT_EQ(g_requests[1].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(g_requests[1].record.uID, 167u);
  EXPECT_TRUE(tray_.RemoveIcon());
  EXPECT_EQ(g_requests.size(), 2u) << "a second removal sends nothing";
}

TEST_F(TrayIcon, GoesToTheMainWindowAndCutsALongTip) {
  const HWND main_window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
  tray_.SetMainWindow(main_window);
  const std::string tip(200, 'x');
  ASSERT_TRUE(Create(tip.c_str()));
  EXPECT_EQ(g_requests.back().record.hWnd, main_window);
  EXPECT_EQ(std::string(g_requests.back().record.szTip), tip.substr(0, 127));
  DestroyWindow(main_window);
}

TEST_F(TrayIcon, ShellRestartAddsOnlyAnIconTheShellHasNotTaken) {
  struct Case {
    BOOL first_add;
    bool remove_before_restart;
    std::size_t adds_after_two_restarts;
  };
  for (const Case c : {Case{TRUE, false, 1}, Case{FALSE, false, 3}, Case{FALSE, true, 1}}) {
    g_requests.clear();
    g_shell_answer = c.first_add;
    EXPECT_EQ(Create(), c.first_add != FALSE);
    g_shell_answer = TRUE;
    if (c.remove_before_restart) tray_.RemoveIcon();
    AnnounceShellRestart();
    AnnounceShellRestart();
    EXPECT_EQ(Adds(), c.adds_after_two_restarts) << "first add " << c.first_add << " removed " << c.remove_before_restart;
    tray_.RemoveIcon();
  }
}

// The shell was not up when the first key arrived; it announces itself, and
// later announces itself again while still showing the icon.
TEST_F(TrayIcon, AnIconAddedAtAShellRestartGoesWithTheLastKey) {
  ASSERT_TRUE(ShellIconsBecome(0));
  g_shell_answer = FALSE;
  ASSERT_FALSE(Create());
  g_real_shell = true;
  AnnounceShellRestart();
  EXPECT_EQ(Adds(), 2u);
  ASSERT_TRUE(ShellIconsBecome(1));
  AnnounceShellRestart();
  EXPECT_EQ(Adds(), 3u);
  EXPECT_EQ(ShellIcons(), 1) << "re-added once";
  EXPECT_TRUE(tray_.RemoveIcon());
  EXPECT_TRUE(ShellIconsBecome(0));
}

int IconWidth(HICON icon) {
  ICONINFO info = {};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
  const fw::ScopedGdiObject colour(info.hbmColor), mask(info.hbmMask);
  BITMAP bitmap = {};
  return GetObjectW(colour ? colour.get() : mask.get(), sizeof bitmap, &bitmap) != 0 ? bitmap.bmWidth : 0;
}

TEST(ProgramIcons, EachSizeIsLoadedAtThatSizeAndKept) {
  // Small and big icons at 100, 125, 150 and 200 %, in an order where a
  // cache that ignores the size would hand back the first.
  for (const int size : {16, 32, 20, 40, 24, 48, 64}) {
    const HICON icon = brevant::ProgramIconAt(size);
    EXPECT_EQ(IconWidth(icon), size);
    EXPECT_EQ(brevant::ProgramIconAt(size), icon) << size << ": loaded once";
  }
  EXPECT_EQ(brevant::ProgramIconAt(0), nullptr);
  const fw::ScopedIcon tray = brevant::MySystemTray::LoadTrayIconFile(BREVANT_SOURCE_DIR "/dist/Brevant.ico");
  EXPECT_EQ(IconWidth(tray.get()), fw::SystemMetricAt(SM_CXSMICON, fw::SystemDpi())) << "the tray's small icon";
}

}  // namespace
