// The thread's chain of message filters: while a modal loop of ours runs,
// every message of the thread is offered to the active dialogs, innermost
// first, before the dialog manager or the window sees it. The main window
// swallows keys and private messages this way even while a dialog of its
// own is up.
#pragma once
#include <windows.h>

namespace fw {

class MessageFilter {
 public:
  // True when the message was dealt with and must not be dispatched.
  virtual bool PreTranslateMessage(MSG& message) = 0;

 protected:
  ~MessageFilter() = default;
};

// Adds a filter for its scope (innermost = last added).
class ScopedMessageFilter {
 public:
  explicit ScopedMessageFilter(MessageFilter& filter);
  ScopedMessageFilter(const ScopedMessageFilter&) = delete;
  ScopedMessageFilter& operator=(const ScopedMessageFilter&) = delete;
  ~ScopedMessageFilter();

 private:
  friend bool PreTranslateThreadMessage(MSG& message);
  MessageFilter& filter_;
  ScopedMessageFilter* outer_;  // added before this one, on this thread
};

// Offers the message to the thread's filters, innermost first.
bool PreTranslateThreadMessage(MSG& message);

}  // namespace fw
