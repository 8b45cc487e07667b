// The window layer with real windows: a modal dialog driven from another
// thread as a user (or an accessibility tool) would, the filter chain, the
// reflection of notifications, timers, and the binding's end.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>

#include "dialog.h"
#include "window.h"
#include "window_driver.h"

namespace {

constexpr UINT kTestDialog = 100;
constexpr int kEdit = 101;
constexpr int kOwnerDrawn = 102;

// Runs `drive` against the test dialog once it is up.
class Driver : public fw::testing::WindowDriver {
 public:
  explicit Driver(std::function<void(HWND)> drive) : WindowDriver(L"#32770", L"fw window test", std::move(drive)) {}
};

class TestDialog : public fw::Dialog {
 public:
  explicit TestDialog(bool swallow_escape = false) : Dialog(kTestDialog), swallow_escape_(swallow_escape) {}
  bool PreTranslateMessage(MSG& message) override {
    if (swallow_escape_ && message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      ++swallowed;
      return true;
    }
    return false;
  }
  std::string entered;
  int swallowed = 0;

 protected:
  void OnOK() override {
    entered = ItemText(kEdit);
    EndDialog(IDOK);
  }

 private:
  bool swallow_escape_;
};

class CountingEdit : public fw::Window {
 public:
  int updates = 0, finals = 0;

 protected:
  bool OnReflectedCommand(int code) override {
    if (code == EN_UPDATE) ++updates;
    return false;
  }
  void OnFinalMessage() override { ++finals; }
};

class CountingButton : public fw::Window {
 public:
  int draws = 0;

 protected:
  bool OnReflectedDrawItem(DRAWITEMSTRUCT&) override {
    ++draws;
    return true;
  }
};

TEST(Dialog, ModalDialogDrivenFromAnotherThreadDisablesItsOwner) {
  ASSERT_TRUE(fw::RegisterWindowClass(L"FwTestOwner"));
  fw::Window owner;
  ASSERT_TRUE(owner.Create(L"FwTestOwner", "owner", WS_OVERLAPPEDWINDOW, 0, RECT{0, 0, 200, 100}, nullptr));
  std::atomic<bool> owner_enabled_meanwhile{true};
  TestDialog dialog;
  INT_PTR result = 0;
  {
    const Driver driver([&](HWND window) {
      owner_enabled_meanwhile = IsWindowEnabled(owner.hwnd()) != FALSE;
      SendMessageW(GetDlgItem(window, kEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"7k"));
      SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    });
    result = dialog.DoModal(owner.hwnd());
  }
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dialog.entered, "7k");
  EXPECT_FALSE(owner_enabled_meanwhile);
  EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
  EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST(Dialog, TheFilterChainSeesKeysBeforeTheDialogManager) {
  struct Case {
    bool swallow;
    INT_PTR result;  // Escape ends an unfiltered dialog with Cancel
  };
  for (const Case c : {Case{true, IDOK}, Case{false, IDCANCEL}}) {
    TestDialog dialog(c.swallow);
    INT_PTR result = 0;
    {
      const Driver driver([](HWND window) {
        const HWND edit = GetDlgItem(window, kEdit);
        SetForegroundWindow(window);
        PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
        Sleep(200);
        if (IsWindow(window)) PostMessageW(window, WM_COMMAND, IDOK, 0);
      });
      result = dialog.DoModal();
    }
    EXPECT_EQ(result, c.result) << "swallow " << c.swallow;
    EXPECT_EQ(dialog.swallowed, c.swallow ? 1 : 0);
  }
}

TEST(Window, NotificationsAreReflectedToTheChildsObjectAndTheBindingEnds) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.CreateModeless());
  const HWND window = dialog.hwnd();
  CountingEdit edit;
  CountingButton button;
  ASSERT_TRUE(edit.Subclass(dialog.Item(kEdit)));
  ASSERT_TRUE(button.Subclass(dialog.Item(kOwnerDrawn)));
  EXPECT_FALSE(button.Subclass(dialog.Item(kEdit))) << "one object per window";

  SetWindowTextA(edit.hwnd(), "abc");
  EXPECT_GE(edit.updates, 1);
  EXPECT_EQ(edit.Text(), "abc") << "the control's own procedure still serves it";
  ShowWindow(window, SW_SHOW);
  RedrawWindow(button.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_GE(button.draws, 1);

  dialog.EndDialog(IDOK);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(dialog.hwnd(), nullptr);
  EXPECT_EQ(edit.hwnd(), nullptr);
  EXPECT_EQ(button.hwnd(), nullptr);
  EXPECT_EQ(edit.finals, 1);
}

TEST(Window, AControlOutlivingItsObjectGoesBackToItsOwnProcedure) {
  TestDialog dialog;
  ASSERT_TRUE(dialog.CreateModeless());
  const HWND control = dialog.Item(kEdit);
  const LONG_PTR own_procedure = GetWindowLongPtrW(control, GWLP_WNDPROC);
  {
    CountingEdit edit;
    ASSERT_TRUE(edit.Subclass(control));
    EXPECT_NE(GetWindowLongPtrW(control, GWLP_WNDPROC), own_procedure);
  }
  EXPECT_EQ(GetWindowLongPtrW(control, GWLP_WNDPROC), own_procedure);
  EXPECT_EQ(fw::Window::FromHandle(control), nullptr);
  SetWindowTextA(control, "still works");
  EXPECT_EQ(fw::WindowTextOf(control), "still works");
  dialog.Destroy();
}

class TickingWindow : public fw::Window {
 public:
  int ticks = 0;

 protected:
  bool OnTimer(UINT_PTR id) override {
    if (id != 7) return false;
    if (++ticks == 3) StopTimer(7);
    return true;
  }
};

TEST(Window, TimersAreBoundToTheirWindow) {
  ASSERT_TRUE(fw::RegisterWindowClass(L"FwTestTicking"));
  TickingWindow window;
  ASSERT_TRUE(window.Create(L"FwTestTicking", "", WS_POPUP, 0, RECT{0, 0, 10, 10}, nullptr));
  ASSERT_TRUE(window.StartTimer(7, 10));
  const DWORD until = GetTickCount() + 3000;
  MSG message;
  while (window.ticks < 3 && GetTickCount() < until) {
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    else Sleep(5);
  }
  Sleep(50);
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_EQ(window.ticks, 3);
  const HWND handle = window.hwnd();
  ASSERT_TRUE(window.Destroy());
  EXPECT_EQ(window.hwnd(), nullptr);
  EXPECT_EQ(fw::Window::FromHandle(handle), nullptr);
}

// Whether a tick of any timer reaches this thread within `ms`; a timer of
// the thread that delivers one is stopped.
bool TimerTicksWithin(DWORD ms) {
  const ULONGLONG until = GetTickCount64() + ms;
  for (MSG tick; GetTickCount64() < until; Sleep(5)) {
    if (!PeekMessageW(&tick, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) continue;
    if (tick.hwnd == nullptr) KillTimer(nullptr, tick.wParam);
    return true;
  }
  return false;
}

TEST(Window, AnObjectWithoutAWindowStartsNoTimer) {
  TickingWindow never_made;
  EXPECT_FALSE(never_made.StartTimer(7, 10));
  never_made.StopTimer(7);
  EXPECT_FALSE(TimerTicksWithin(200)) << "a thread timer would tick every 10 ms";
}

}  // namespace
