// The tool on a screen at 100 % and at 150 % (96 and 144 DPI), as a user
// meets it: started on that screen, a key plugged in, its windows opened.
// Every text fits its control, the main window and the soft keyboard grow
// by the screen's ratio, and the banner is shown at a size drawn for it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialog_driving.h"
#include "main_window_layout.h"
#include "picture_scales.h"
#include "resource.h"
#include "running_tool.h"
#include "screen_checks.h"
#include "soft_keyboard_keys.h"

namespace {

using brevant::testing::ScopedScreenDpi;
using brevant::testing::TextsThatDoNotFit;

SIZE SizeOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

SIZE ClientSizeOf(HWND window) {
  RECT rect = {};
  GetClientRect(window, &rect);
  return {rect.right, rect.bottom};
}

// Width and height of a bitmap file, from its header.
SIZE BitmapFileSize(const std::string& path) {
  BITMAPINFOHEADER header = {};
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    if (std::fseek(file, sizeof(BITMAPFILEHEADER), SEEK_SET) != 0 || std::fread(&header, sizeof header, 1, file) != 1)
      header = {};
    std::fclose(file);
  }
  return {header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight};
}

struct Seen {
  SIZE main_window{};
  SIZE moved_to_144{};  // the main window after a move to a 144-DPI screen
  SIZE keyboard{};
  SIZE popup{};
  SIZE banner{};
  std::vector<std::string> misfits;  // "window: control text (sizes)"
};

class ScreenDpi : public brevant::testing::RunningTool {
 protected:
  void Note(const char* where, const std::vector<std::string>& misfits) {
    for (const std::string& misfit : misfits) seen_.misfits.push_back(std::string(where) + ": " + misfit);
  }
  void LookAt(const char* where, HWND window, bool widths_only = false) {
    Note(where, TextsThatDoNotFit(window, widths_only));
  }

  // A key dialog opened with `command`, looked at, cancelled.
  void LookAtDialog(HWND window, const char* where, int command, int field) {
    const HWND dialog = OpenDialog(window, command, field);
    ASSERT_NE(dialog, nullptr) << where;
    LookAt(where, dialog);
    if (command == IDC_CHANGE_PIN) {
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PIN_SOFT_KEYBOARD, BN_CLICKED), 0);
      HWND keyboard = nullptr;
      ASSERT_TRUE(brevant::testing::WaitUntil([&] {
        keyboard = FindWindowExW(dialog, nullptr, L"#32770", nullptr);
        return keyboard != nullptr && IsWindowVisible(keyboard) && GetDlgItem(keyboard, brevant::kQuitKeyId);
      }));
      seen_.keyboard = SizeOf(keyboard);
      LookAt("soft keyboard", keyboard);
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(pintest::WaitUntilGone(dialog)) << where;
  }

  Seen LookAtTheToolAt(DWORD dpi) {
    seen_ = {};
    const ScopedScreenDpi screen(dpi);
    const HWND window = Start();
    EXPECT_NE(window, nullptr);
    if (window == nullptr) return seen_;
    EXPECT_NE(PlugIn("plain"), nullptr);
    // The popup is made anew for each notice, shown empty and given its
    // size at the first step of its rise; it keeps that size while it rises
    // and stays. So the size is read from the one up at the moment, once it
    // has one.
    EXPECT_TRUE(brevant::testing::WaitUntil([&] {
      const HWND popup = FindWindowW(L"Brevant.MsnWnd", nullptr);
      RECT place = {};
      if (popup == nullptr || !IsWindowVisible(popup) || !GetWindowRect(popup, &place)) return false;
      seen_.popup = {place.right - place.left, place.bottom - place.top};
      return seen_.popup.cx > 0 && seen_.popup.cy > 0;
    }));
    EXPECT_TRUE(brevant::testing::ClosePopup());
    ShowWithFirstKeySelected(window);
    seen_.main_window = SizeOf(window);
    seen_.banner = ClientSizeOf(GetDlgItem(window, IDC_BANNER));
    LookAt("main window", window);
    Note("key tree", brevant::testing::TreeItemsThatDoNotFit(GetDlgItem(window, IDC_KEY_TREE), tool_.get()));
    LookAtDialog(window, "PIN dialog", IDC_CHANGE_PIN, IDC_OLD_PIN);
    LookAtDialog(window, "label dialog", IDC_CHANGE_LABEL, IDC_LABEL_PIN);
    LookAtDialog(window, "key information", IDC_KEY_INFO, IDC_KEY_INFO_LIST);
    PostMessageW(window, WM_COMMAND, ID_CMD_REMOVE_CERTS, 0);
    const HWND box = pintest::WaitForDialogWith(pintest::kMessageBoxText, ToolProcess());
    EXPECT_NE(box, nullptr);
    // The system's message box: Wine makes its text's static a little lower
    // than a line of its font at every DPI, so only the width is the tool's.
    if (box != nullptr) LookAt("message box", box, true);
    pintest::AnswerMessageBox(IDOK, ToolProcess());
    if (dpi == 96) {
      brevant::testing::TellDpiChanged(window, tool_.get(), 144, {40, 30, 40 + 600, 30 + 600});
      RECT moved = {};
      GetWindowRect(window, &moved);
      EXPECT_EQ(moved.left, 40) << "where Windows puts it";
      seen_.moved_to_144 = SizeOf(window);
    }
    StopTool();
    Tokenctl("remove plain");
    return seen_;
  }

  Seen seen_;
};

void ExpectScaled(const char* what, SIZE at96, SIZE at144) {
  constexpr int kSlack = 6;  // pixels: each measure is rounded on its own
  EXPECT_NEAR(at144.cx, at96.cx * 3 / 2, kSlack) << what << " width";
  EXPECT_NEAR(at144.cy, at96.cy * 3 / 2, kSlack) << what << " height";
}

TEST_F(ScreenDpi, EveryTextFitsAndTheWindowsGrowWithTheScreen) {
  Tokenctl("create plain --pin-change-tag 1 --label \"Vesbank eKey\"");
  const Seen at96 = LookAtTheToolAt(96);
  const Seen at144 = LookAtTheToolAt(144);
  for (const Seen* seen : {&at96, &at144})
    for (const std::string& misfit : seen->misfits) ADD_FAILURE() << (seen == &at96 ? 96 : 144) << " DPI: " << misfit;

  EXPECT_EQ(at96.main_window.cx, 425) << "the window's width at 100 % is the one it always had";
  ExpectScaled("main window", at96.main_window, at144.main_window);
  EXPECT_NEAR(at96.moved_to_144.cx, at144.main_window.cx, 2) << "moved to a screen of 150 %";
  EXPECT_NEAR(at96.moved_to_144.cy, at144.main_window.cy, 2);
  ExpectScaled("soft keyboard", at96.keyboard, at144.keyboard);
  ExpectScaled("popup", at96.popup, at144.popup);
  // The banner drawn for the scale fills its place exactly: never stretched.
  const std::string folder = simtest::BinDir() + "\\";
  for (const auto& [seen, dpi] : {std::pair{&at96, 96}, std::pair{&at144, 144}}) {
    const SIZE drawn = BitmapFileSize(folder + brevant::BannerFileName(brevant::PictureScaleFor(dpi)));
    EXPECT_EQ(seen->banner.cx, drawn.cx) << dpi << " DPI";
    EXPECT_EQ(seen->banner.cy, drawn.cy) << dpi << " DPI";
  }
}

}  // namespace
