// Arrival and removal callbacks, and two processes changing one key.
#include <mutex>

#include "scoped_handle.h"
#include "token_test_base.h"

namespace {

// What the callbacks saw; they run on the library's thread.
struct Events {
  std::mutex lock;
  std::vector<std::string> log;
  fw::ScopedHandle signal{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  void Add(const std::string& entry) {
    {
      std::lock_guard guard(lock);
      log.push_back(entry);
    }
    SetEvent(signal.get());
  }
  std::vector<std::string> Take() {
    std::lock_guard guard(lock);
    return std::exchange(log, {});
  }
};
Events* g_events = nullptr;

ULONG WINAPI OnArrival(const char* reader) {
  g_events->Add(std::string("+") + reader);
  return 0;
}
ULONG WINAPI OnRemoval(const char* reader) {
  g_events->Add(std::string("-") + reader);
  return 0;
}

}  // namespace

class DeviceEvents : public TokenTest {
 protected:
  void SetUp() override {
    TokenTest::SetUp();
    g_events = &events_;
  }
  void TearDown() override {
    api_.TK_SetDevChgFunc(nullptr, nullptr, nullptr, nullptr, 0);  // stops the watcher
    TokenTest::TearDown();
  }
  // Waits for the next callback: at most `ms` after the tokenctl run ended.
  std::vector<std::string> WaitForEvent(DWORD ms) {
    WaitForSingleObject(events_.signal.get(), ms);
    Sleep(20);  // let a second event of the same change arrive
    return events_.Take();
  }
  Events events_;
};

TEST_F(DeviceEvents, ArrivalAndRemovalAreReportedWithin500ms) {
  Ctl("create k");
  ASSERT_EQ(api_.TK_SetDevChgFunc(tk::kFirstReaderName, OnArrival, OnRemoval, tk::kFirstReaderName, 0), tk::kOk);
  Sleep(150);  // the watcher takes its first look
  EXPECT_TRUE(events_.Take().empty());

  Ctl("insert k");
  EXPECT_EQ(WaitForEvent(500), (std::vector<std::string>{"+Quillon Tarnex UDISK 0"}));
  Ctl("remove k");
  EXPECT_EQ(WaitForEvent(500), (std::vector<std::string>{"-Quillon Tarnex UDISK 0"}));

  // A second reader of the family is reported too.
  Ctl("create j");
  Ctl("insert k");
  WaitForEvent(500);
  Ctl("insert j");
  EXPECT_EQ(WaitForEvent(500), (std::vector<std::string>{"+Quillon Tarnex UDISK 1"}));
  Ctl("delete j");  // deleting an inserted key pulls it out
  EXPECT_EQ(WaitForEvent(500), (std::vector<std::string>{"-Quillon Tarnex UDISK 1"}));
}

TEST_F(DeviceEvents, KeysAlreadyPresentAtRegistrationAreNotReportedAgain) {
  CreateInserted("k");
  ASSERT_EQ(api_.TK_SetDevChgFunc(tk::kFirstReaderName, OnArrival, OnRemoval, nullptr, 0), tk::kOk);
  Sleep(400);
  EXPECT_TRUE(events_.Take().empty());
  // Changes that are not insertions (a new label) report nothing either.
  Ctl("set k --label Renamed");
  Sleep(300);
  EXPECT_TRUE(events_.Take().empty());
}

TEST_F(DeviceEvents, TwoProcessesChangingOneKeyLoseNothing) {
  CreateInserted("k", "--user-pin 123456 --user-retries 15");
  const std::string worker = "\"" + simtest::BinDir() + "\\..\\tests\\sim_worker.exe\" \"" + simtest::BinDir() + "\" 6";
  fw::ScopedHandle a(simtest::StartProcess(worker)), b(simtest::StartProcess(worker));
  ASSERT_TRUE(a && b);
  HANDLE both[2] = {a.get(), b.get()};
  ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE, 60000), WAIT_OBJECT_0);
  DWORD code_a = 1, code_b = 1;
  GetExitCodeProcess(a.get(), &code_a);
  GetExitCodeProcess(b.get(), &code_b);
  EXPECT_EQ(code_a, 0u);
  EXPECT_EQ(code_b, 0u);
  tk::DeviceConnection device(api_);
  ASSERT_EQ(device.Connect(tk::kFirstReaderName), tk::kOk);
  ULONG left = 0;
  ASSERT_EQ(api_.TK_GetUserPinRetryNum(device.get(), &left), tk::kOk);
  EXPECT_EQ(left, 15u - 12u);  // every one of the twelve wrong PINs counted
}
