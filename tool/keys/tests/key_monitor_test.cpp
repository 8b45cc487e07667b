// The key monitor's event handling, step by step with recorded actions, and
// against the software token, whose watcher thread delivers the events.
#include "key_monitor.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "token_test_base.h"

namespace {

using brevant::KeyMonitor;
using Events = std::vector<std::string>;

constexpr char kReader0[] = "Quillon Tarnex UDISK 0";
constexpr char kReader1[] = "Quillon Tarnex UDISK 1";

// Records what the monitor does, in order, with the thread it did it on.
class RecordingActions : public brevant::KeyMonitorActions {
 public:
  void CreateTrayIcon() override { Add("icon+"); }
  void RemoveTrayIcon() override { Add("icon-"); }
  void PostToMainWindow(UINT message, WPARAM wparam, const char* reader) override {
    if (message == WM_SYSCOMMAND) Add(wparam == SC_CLOSE ? "hide" : "syscommand?");
    else Add(std::string(message == brevant::kKeyPresentMessage ? "present " : "removed ") + (reader ? reader : "?"));
    if (message != WM_SYSCOMMAND) post_threads.push_back(GetCurrentThreadId());
  }
  void Pause(DWORD ms) override { Add("pause " + std::to_string(ms)); }
  void HandleLastRemovalInBrowser() override { Add("browser"); }
  void ClearSslCache() override { Add("ssl"); }
  void RemoveProviderCerts() override { Add("certs"); }
  void RefreshRemainingKeys() override { Add("refresh"); }

  Events Take() {
    std::lock_guard guard(lock_);
    return std::exchange(events_, {});
  }
  // Waits until `count` events are recorded (the token's watcher delivers
  // them), at most 10 s.
  bool WaitFor(std::size_t count) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10), [&] { return events_.size() >= count; });
  }
  std::vector<DWORD> post_threads;

 private:
  void Add(std::string event) {
    std::lock_guard guard(lock_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }
  std::mutex lock_;
  std::condition_variable changed_;
  Events events_;
};

const Events kLastRemoval0 = {"browser", "hide", "icon-", "removed Quillon Tarnex UDISK 0", "pause 200", "pause 200",
                              "ssl", "certs"};

TEST(KeyMonitorSteps, EventsCountKeysAndDriveTheIcon) {
  const tk::DeviceApi no_library;
  RecordingActions actions;
  KeyMonitor monitor(no_library, actions);
  struct Step {
    bool arrival;
    const char* reader;
    Events expected;
    int count_after;
  };
  const Step steps[] = {
      // The icon is there before the window hears of the first key.
      {true, kReader0, {"icon+", "pause 200", "present Quillon Tarnex UDISK 0"}, 1},
      {true, kReader1, {"pause 200", "present Quillon Tarnex UDISK 1"}, 2},
      // Reported twice: still one key, or its removal would leave a key shown.
      {true, kReader1, {"pause 200", "present Quillon Tarnex UDISK 1"}, 2},
      // The remaining key's certificates went with the provider's: listed again.
      {false, kReader1, {"removed Quillon Tarnex UDISK 1", "pause 200", "pause 200", "ssl", "certs", "refresh"}, 1},
      {false, "Quillon Tarnex UDISK 7", {}, 1},  // never reported present
      {false, kReader1, {}, 1},                  // already gone
      {false, kReader0, kLastRemoval0, 0},
      {true, kReader0, {"icon+", "pause 200", "present Quillon Tarnex UDISK 0"}, 1},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    if (step.arrival) monitor.OnArrival(step.reader);
    else monitor.OnRemoval(step.reader);
    EXPECT_EQ(actions.Take(), step.expected) << "step " << i;
    EXPECT_EQ(monitor.present_count(), step.count_after) << "step " << i;
    EXPECT_EQ(monitor.PresenceOf(step.reader), step.arrival ? brevant::kKeyPresent : brevant::kNoKey) << i;
  }
  EXPECT_TRUE(monitor.TakeArrivalFlag());
  EXPECT_FALSE(monitor.TakeArrivalFlag()) << "cleared by reading";

  monitor.Stop();
  monitor.OnRemoval(kReader0);
  EXPECT_EQ(actions.Take(), Events{}) << "a stopped monitor handles nothing";
}

// A library whose second reader gets its key while the callbacks are
// registered, after the library took its starting point: it reports that
// key's arrival later, as the monitor's second look has found it already.
bool g_second_plugged_in = false;
ULONG WINAPI TwoReaders(char* names, ULONG* size, ULONG* count) {
  static constexpr char kNames[] = "Quillon Tarnex UDISK 0\0Quillon Tarnex UDISK 1\0";
  if (*size < sizeof kNames) return tk::kBufferTooSmall;
  std::memcpy(names, kNames, sizeof kNames);
  *size = sizeof kNames;
  *count = 2;
  return tk::kOk;
}
ULONG WINAPI StateOf(const char* reader, ULONG* state) {
  const bool present = std::string(reader) == kReader0 || g_second_plugged_in;
  *state = present ? tk::kStatePresent : tk::kStateAbsent;
  return tk::kOk;
}
ULONG WINAPI PlugInSecondWhileRegistering(const char*, TK_DevChgCallback, TK_DevChgCallback, const void*, ULONG) {
  g_second_plugged_in = true;
  return tk::kOk;
}

TEST(KeyMonitorSteps, TheLibrarysLateReportOfAKeyTheStartFoundIsNotASecondKey) {
  tk::DeviceApi library;
  library.TK_ListReaders.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&TwoReaders)));
  library.TK_GetDevState.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&StateOf)));
  library.TK_SetDevChgFunc.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&PlugInSecondWhileRegistering)));
  RecordingActions actions;
  KeyMonitor monitor(library, actions);
  monitor.Start();
  EXPECT_EQ(actions.Take(), (Events{"icon+", "present Quillon Tarnex UDISK 0", "present Quillon Tarnex UDISK 1"}));
  monitor.OnArrival(kReader1);
  EXPECT_EQ(actions.Take(), Events{}) << "the same insertion";
  EXPECT_EQ(monitor.present_count(), 2);
  monitor.OnRemoval(kReader1);
  actions.Take();
  monitor.OnArrival(kReader1);
  EXPECT_EQ(actions.Take(), (Events{"pause 200", "present Quillon Tarnex UDISK 1"})) << "plugged in again";
  monitor.Stop();
}

class KeyMonitorOnToken : public TokenTest {
 protected:
  void TearDown() override {
    api_.TK_SetDevChgFunc(nullptr, nullptr, nullptr, nullptr, 0);  // lets the watcher end
    TokenTest::TearDown();
  }
  void Key(const char* name, bool inserted) {
    ASSERT_EQ(simtest::Tokenctl(std::string("create ") + name).exit_code, 0u);
    if (inserted) {
      ASSERT_EQ(simtest::Tokenctl(std::string("insert ") + name).exit_code, 0u);
    }
  }
  simtest::SimKeyFolder keys_;
  RecordingActions actions_;
};

TEST_F(KeyMonitorOnToken, ScanReportsKeysPresentAtStartAndTheWatcherTheChanges) {
  Key("first", true);
  Key("second", true);
  KeyMonitor monitor(api_, actions_);
  monitor.Start();
  EXPECT_EQ(actions_.Take(), (Events{"icon+", "present Quillon Tarnex UDISK 0", "present Quillon Tarnex UDISK 1"}))
      << "no pause at start, one icon";
  EXPECT_EQ(monitor.present_count(), 2);

  ASSERT_EQ(simtest::Tokenctl("remove second").exit_code, 0u);
  ASSERT_TRUE(actions_.WaitFor(6));
  EXPECT_EQ(actions_.Take(),
            (Events{"removed Quillon Tarnex UDISK 1", "pause 200", "pause 200", "ssl", "certs", "refresh"}));
  ASSERT_EQ(simtest::Tokenctl("remove first").exit_code, 0u);
  ASSERT_TRUE(actions_.WaitFor(kLastRemoval0.size()));
  EXPECT_EQ(actions_.Take(), kLastRemoval0);
  ASSERT_EQ(simtest::Tokenctl("insert first").exit_code, 0u);
  ASSERT_TRUE(actions_.WaitFor(3));
  EXPECT_EQ(actions_.Take(), (Events{"icon+", "pause 200", "present Quillon Tarnex UDISK 0"}));

  ASSERT_EQ(actions_.post_threads.size(), 5u);
  EXPECT_EQ(actions_.post_threads[0], GetCurrentThreadId()) << "the scan runs on the caller's thread";
  for (std::size_t i = 2; i < actions_.post_threads.size(); ++i) {
    EXPECT_NE(actions_.post_threads[i], GetCurrentThreadId()) << "callbacks come on the library's thread";
  }
}

// The library's registration, with a key plugged in just before the library
// takes the keys present as its starting point: it never reports that key.
tk::TK_SetDevChgFunc_Fn g_library_registration = nullptr;
ULONG WINAPI RegisterAfterPluggingInSecond(const char* filter, TK_DevChgCallback arrival,
                                           TK_DevChgCallback removal, const void* context, ULONG reserved) {
  if (simtest::Tokenctl("insert second").exit_code != 0) return tk::kStorageError;
  return g_library_registration(filter, arrival, removal, context, reserved);
}

TEST_F(KeyMonitorOnToken, AKeyPluggedInWhileTheMonitorStartsIsReportedOnce) {
  Key("first", true);
  Key("second", false);
  g_library_registration =
      reinterpret_cast<tk::TK_SetDevChgFunc_Fn>(reinterpret_cast<void*>(GetProcAddress(api_.module(), "TK_SetDevChgFunc")));
  ASSERT_NE(g_library_registration, nullptr);
  api_.TK_SetDevChgFunc.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&RegisterAfterPluggingInSecond)));
  KeyMonitor monitor(api_, actions_);
  monitor.Start();
  api_.TK_SetDevChgFunc.Set(reinterpret_cast<FARPROC>(reinterpret_cast<void*>(g_library_registration)));
  EXPECT_EQ(actions_.Take(), (Events{"icon+", "present Quillon Tarnex UDISK 0", "present Quillon Tarnex UDISK 1"}));
  EXPECT_EQ(monitor.present_count(), 2);
  // A second report of the arrival would come before the removal.
  ASSERT_EQ(simtest::Tokenctl("remove second").exit_code, 0u);
  ASSERT_TRUE(actions_.WaitFor(6));
  EXPECT_EQ(actions_.Take(),
            (Events{"removed Quillon Tarnex UDISK 1", "pause 200", "pause 200", "ssl", "certs", "refresh"}));
  EXPECT_EQ(monitor.present_count(), 1);
}

TEST_F(KeyMonitorOnToken, NoEventsWhenTheReadersCannotBeListed) {
  Key("first", true);
  ASSERT_EQ(simtest::Tokenctl("fail first TK_ListReaders 0x0A000001").exit_code, 0u);
  KeyMonitor monitor(api_, actions_);
  monitor.Start();
  ASSERT_EQ(simtest::Tokenctl("remove first").exit_code, 0u);
  Sleep(500);  // the watcher would have reported the removal by now
  EXPECT_EQ(actions_.Take(), Events{});
  EXPECT_EQ(monitor.present_count(), 0);
}

}  // namespace
