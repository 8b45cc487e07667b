// Runs work on the thread that created the caller, from any thread, one piece
// at a time. The owning thread must pump messages (GetMessage/PeekMessage);
// a call made from another thread waits until the owner has run it. Objects
// that live in a single-threaded apartment are reached this way without a
// proxy: the work runs in their apartment and never two at once, as long as
// the work itself does not pump messages (no dialogs, no calls into other
// apartments), which would let the next piece in.
#pragma once
#include <windows.h>

#include <functional>

#include "window.h"

namespace fw {

class ThreadCaller {
 public:
  // Creates a message-only window on the calling thread.
  ThreadCaller();
  ThreadCaller(const ThreadCaller&) = delete;
  ThreadCaller& operator=(const ThreadCaller&) = delete;
  ~ThreadCaller() = default;

  bool valid() const { return receiver_.hwnd() != nullptr; }
  // Runs `work` on the owning thread and returns when it is done; false when
  // it could not be handed over (no window) or threw. On the owning thread
  // itself the work runs at once (and its exceptions reach the caller).
  bool Call(const std::function<void()>& work) const;

 private:
  // The message-only window the work is sent to; it runs only work that
  // carries its cookie.
  class Receiver : public Window {
   public:
    Receiver();
    // Sent with every piece of work: the window can be found by any program
    // of the desktop, and only this process knows the value (0: none drawn).
    const WPARAM cookie;

   protected:
    bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  };

  DWORD owner_thread_ = 0;
  Receiver receiver_;
};

}  // namespace fw
