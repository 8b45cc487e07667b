// esKeyVerifyUserPin and its dialog, driven on the virtual display.
#include "kestrine_test_base.h"
#include "pin_dialog_driver.h"

class VerifyDialog : public KestrineTest {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display (scripts/test starts Xvfb)";
    KestrineTest::SetUp();
    CreateInserted("k", "--user-pin 246810 --user-retries 5");
  }
  // Answers the dialog with `pin` typed and `button` pressed; the state the
  // call gives back, what was seen of the dialog in `seen`.
  LONG Verify(DialogSeen& seen, const wchar_t* pin, int button, HRESULT expected = S_FALSE) {
    std::thread driver = DriveVerifyDialog(seen, pin, button);
    LONG state = -1;
    EXPECT_EQ(control_->esKeyVerifyUserPin(&state), expected);
    driver.join();
    return state;
  }
  LONG Tries() {
    LONG tries = -1;
    EXPECT_EQ(control_->esKeyGetPinRetryCount(&tries), S_OK);
    return tries;
  }
};

TEST_F(VerifyDialog, TemplateTextsAndFocus) {
  DialogSeen seen;
  Verify(seen, L"", IDCANCEL);
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.caption, L"\x7ba1\x7406\x5458PIN\x7801\x6821\x9a8c");        // 管理员PIN码校验
  EXPECT_EQ(seen.label, L"\x8bf7\x8f93\x5165\x7ba1\x7406\x5458PIN:");         // 请输入管理员PIN:
  EXPECT_EQ(seen.ok_text, L"\x786e\x5b9a");                                   // 确定
  EXPECT_EQ(seen.cancel_text, L"\x53d6\x6d88");                               // 取消
  EXPECT_TRUE(seen.focus_on_pin);
}

TEST_F(VerifyDialog, CancelGives2AndLeavesTheCounter) {
  DialogSeen seen;
  EXPECT_EQ(Verify(seen, L"999999", IDCANCEL), 2);
  EXPECT_EQ(Tries(), 5);
  ExpectNoOpenHandles();
}

TEST_F(VerifyDialog, ConfirmedPinIsVerified) {
  DialogSeen seen;
  EXPECT_EQ(Verify(seen, L"111111", IDOK), 1);
  EXPECT_EQ(Tries(), 4);
  EXPECT_EQ(Verify(seen, L"246810", IDOK, S_OK), 0);
  EXPECT_EQ(Tries(), 5);

  Ctl("set k --user-tries-left 0");
  EXPECT_EQ(Verify(seen, L"246810", IDOK), 1);  // a locked PIN: the right one is refused as well
  ExpectNoOpenHandles();
}

// Nothing the dialog leaves behind on the thread keeps the DLL loaded.
TEST_F(VerifyDialog, TheDllUnloadsAfterItsDialog) {
  DialogSeen seen;
  Verify(seen, L"", IDCANCEL);
  ASSERT_TRUE(seen.found);
  control_.Unload();
  EXPECT_EQ(GetModuleHandleA((simtest::BinDir() + "\\Kestrine.dll").c_str()), nullptr);
}

TEST_F(VerifyDialog, NoKeyMeansNoDialog) {
  Ctl("remove k");
  LONG state = -1, error = 0;
  EXPECT_EQ(control_->esKeyVerifyUserPin(&state), S_FALSE);
  EXPECT_EQ(control_->esgetErrorCode(&error), S_OK);
  EXPECT_EQ(error, 1002);
}
