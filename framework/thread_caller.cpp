#include "thread_caller.h"

#include <bcrypt.h>

namespace fw {
namespace {

const wchar_t kClassName[] = L"fw.ThreadCaller";
const UINT kRunWork = WM_APP + 1;

WPARAM RandomCookie() {
  WPARAM cookie = 0;
  const NTSTATUS status =
      BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&cookie), sizeof cookie, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  return status == 0 ? cookie : 0;
}

}  // namespace

ThreadCaller::Receiver::Receiver() : cookie(RandomCookie()) {
  // Without a secret cookie there is no window: anyone could hand it work.
  if (cookie != 0 && RegisterWindowClass(kClassName)) Create(kClassName, "", 0, 0, RECT{}, HWND_MESSAGE);
}

ThreadCaller::ThreadCaller() : owner_thread_(GetCurrentThreadId()) {}

bool ThreadCaller::Call(const std::function<void()>& work) const {
  if (!valid()) return false;
  if (GetCurrentThreadId() == owner_thread_) {
    work();
    return true;
  }
  // A sent message is run by the owner inside its next message retrieval,
  // one at a time, and the sender waits for it: the work's references stay
  // valid and no two pieces of work overlap.
  return SendMessageW(receiver_.hwnd(), kRunWork, receiver_.cookie, reinterpret_cast<LPARAM>(&work)) != 0;
}

bool ThreadCaller::Receiver::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message != kRunWork) return Window::OnMessage(message, wparam, lparam, result);
  result = 0;
  if (wparam != cookie) return true;  // not sent by Call
  try {
    (*reinterpret_cast<const std::function<void()>*>(lparam))();
    result = 1;
  } catch (...) {
    // exceptions never cross the window procedure
  }
  return true;
}

}  // namespace fw
