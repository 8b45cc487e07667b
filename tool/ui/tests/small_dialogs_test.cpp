// The small dialogs with the shipped language file: layout, texts, results.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "cached_texts.h"
#include "language.h"
#include "resource.h"
#include "settings.h"
#include "sim_fixture.h"
#include "small_dialogs.h"
#include "text.h"
#include "window_driver.h"

namespace {

using fw::testing::ChildRect;
using fw::testing::WindowDriver;

// Screenshots: with BREVANT_TEST_LINGER_MS set, the driver waits that long
// before it clicks, so that the screen can be captured.
void LingerForScreenshot() {
  if (const char* ms = std::getenv("BREVANT_TEST_LINGER_MS")) Sleep(static_cast<DWORD>(std::atoi(ms)));
}

class SmallDialogs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(brevant::LoadDeviceLibrary((simtest::BinDir() + "\\RVControl.ini").c_str()), 0);
    brevant::LoadCachedTexts();
    ASSERT_STRNE(brevant::CachedText("TOOL_TITLE"), "");
  }
};

TEST_F(SmallDialogs, MessageBoxLaysOutItsButtonsByMode) {
  struct Case {
    brevant::CDlgMsgBox::Mode mode;
    int ok_left;
    bool cancel_shown;
    int button;  // clicked
  };
  const std::string caption = brevant::CachedText("TOOL_TITLE");
  const std::wstring wide_caption = fw::AnsiToWide(caption);
  for (const Case c : {Case{brevant::CDlgMsgBox::kOkOnly, 160, false, IDOK},
                       Case{brevant::CDlgMsgBox::kOkCancel, 120, true, IDCANCEL}}) {
    brevant::CDlgMsgBox box;
    box.SetCaption(caption);
    box.SetMessageText(brevant::LngText("ChangePINPage", "IDS_USING_FIRSTTIME"));
    box.SetMode(c.mode);
    RECT ok = {}, cancel = {}, client = {};
    bool cancel_visible = false, topmost = false;
    std::string text, ok_text;
    INT_PTR result = 0;
    {
      const WindowDriver driver(L"#32770", wide_caption.c_str(), [&](HWND window) {
        ok = ChildRect(window, IDOK);
        cancel = ChildRect(window, IDCANCEL);
        GetClientRect(window, &client);
        cancel_visible = IsWindowVisible(GetDlgItem(window, IDCANCEL)) != FALSE;
        topmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        text = fw::WindowTextOf(GetDlgItem(window, IDC_MSGBOX_TEXT));
        ok_text = fw::WindowTextOf(GetDlgItem(window, IDOK));
        LingerForScreenshot();
        SendMessageW(GetDlgItem(window, c.button), BM_CLICK, 0, 0);
      });
      result = box.Run();
    }
    EXPECT_EQ(result, c.button);
    EXPECT_EQ(ok.left, c.ok_left);
    EXPECT_EQ(ok.top, 60);
    EXPECT_EQ(ok.right - ok.left, 75);
    EXPECT_EQ(ok.bottom - ok.top, 21);
    EXPECT_EQ(cancel_visible, c.cancel_shown);
    if (c.cancel_shown) {
      EXPECT_EQ(cancel.left, 200);
    }
    EXPECT_TRUE(topmost);
    EXPECT_EQ(text, brevant::LngText("ChangePINPage", "IDS_USING_FIRSTTIME"));
    EXPECT_EQ(ok_text, brevant::LngText("TOOL", "BUT_IDOK"));
  }
}

TEST_F(SmallDialogs, AboutBoxShowsTheBanksTextsAndEndsWithItsButton) {
  const std::wstring title = fw::AnsiToWide(brevant::LngText("TOOL", "ABOUT_DLG_TITLE"));
  ASSERT_FALSE(title.empty());
  std::string bank, url, phone;
  brevant::CAboutDlg about;
  INT_PTR result = 0;
  {
    const WindowDriver driver(L"#32770", title.c_str(), [&](HWND window) {
      bank = fw::WindowTextOf(GetDlgItem(window, IDC_ABOUT_BANK));
      url = fw::WindowTextOf(GetDlgItem(window, IDC_ABOUT_URL));
      phone = fw::WindowTextOf(GetDlgItem(window, IDC_ABOUT_PHONE));
      LingerForScreenshot();
      SendMessageW(GetDlgItem(window, IDC_ABOUT_OK), BM_CLICK, 0, 0);
    });
    result = about.DoModal();
  }
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(bank, brevant::CachedText("ABOUTDLG_BANKNAME"));
  EXPECT_EQ(url, brevant::CachedText("ABOUTDLG_BANKURL"));
  EXPECT_EQ(phone, brevant::CachedText("ABOUTDLG_BANKPHONE"));
  EXPECT_FALSE(bank.empty());
}

TEST_F(SmallDialogs, HiddenOwnerIsTopmostAndNeverShown) {
  brevant::HiddenDLG owner;
  ASSERT_TRUE(owner.CreateTopmost());
  EXPECT_FALSE(IsWindowVisible(owner.hwnd()));
  EXPECT_NE(GetWindowLongW(owner.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(owner.Destroy());
  EXPECT_EQ(owner.hwnd(), nullptr);
}

}  // namespace
