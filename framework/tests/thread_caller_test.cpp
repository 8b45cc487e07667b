#include "thread_caller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Pumps messages on this thread until `done` is set.
void PumpUntil(const std::atomic<bool>& done) {
  MSG message;
  while (!done) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
  }
}

}  // namespace

TEST(ThreadCaller, WorkFromOtherThreadsRunsOnTheOwnerOneAtATime) {
  const fw::ThreadCaller caller;
  ASSERT_TRUE(caller.valid());
  const DWORD owner = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::atomic<int> wrong_thread{0}, overlapping{0}, inside{0}, ran{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        int value = 0;
        const bool handed = caller.Call([&] {
          if (GetCurrentThreadId() != owner) ++wrong_thread;
          if (++inside != 1) ++overlapping;
          Sleep(0);
          value = i + 1;  // the caller's locals are still there
          --inside;
          ++ran;
        });
        if (!handed || value != i + 1) ++wrong_thread;
      }
    });
  }
  std::thread joiner([&] {
    for (std::thread& t : callers) t.join();
    done = true;
  });
  PumpUntil(done);
  joiner.join();
  EXPECT_EQ(ran, 100);
  EXPECT_EQ(wrong_thread, 0);
  EXPECT_EQ(overlapping, 0);
}

TEST(ThreadCaller, OnTheOwnerThreadWorkRunsAtOnce) {
  const fw::ThreadCaller caller;
  bool ran = false;
  EXPECT_TRUE(caller.Call([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(ThreadCaller, WorkThatThrowsFromAnotherThreadIsReportedNotPropagated) {
  const fw::ThreadCaller caller;
  std::atomic<bool> done{false};
  bool handed = true;
  std::thread other([&] {
    handed = caller.Call([] { throw std::runtime_error("no"); });
    done = true;
  });
  PumpUntil(done);
  other.join();
  EXPECT_FALSE(handed);
}

TEST(ThreadCaller, OnlyWorkHandedOverByCallIsRun) {
  const fw::ThreadCaller caller;
  // Anyone on the desktop can find the window and send it the same message.
  const HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"fw.ThreadCaller", nullptr);
  ASSERT_NE(window, nullptr);
  bool ran = false;
  const std::function<void()> work = [&] { ran = true; };
  std::atomic<bool> done{false};
  LRESULT answer = -1;
  std::thread stranger([&] {
    answer = SendMessageW(window, WM_APP + 1, 0, reinterpret_cast<LPARAM>(&work));
    done = true;
  });
  PumpUntil(done);
  stranger.join();
  EXPECT_EQ(answer, 0);
  EXPECT_FALSE(ran);
}
