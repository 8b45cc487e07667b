#include "message_filter.h"

namespace fw {
namespace {

// The innermost filter of this thread; each links to the one added before.
// A plain pointer: a thread-local object with a destructor would keep a DLL
// that uses the framework loaded until the thread ends.
thread_local ScopedMessageFilter* innermost = nullptr;

}  // namespace

ScopedMessageFilter::ScopedMessageFilter(MessageFilter& filter) : filter_(filter), outer_(innermost) {
  innermost = this;
}

ScopedMessageFilter::~ScopedMessageFilter() {
  for (ScopedMessageFilter** at = &innermost; *at != nullptr; at = &(*at)->outer_) {
    if (*at == this) {
      *at = outer_;
      break;
    }
  }
}

bool PreTranslateThreadMessage(MSG& message) {
  // A filter may run a nested loop: the filters it adds are gone again when
  // it returns, and the outer ones live in the loops below this call.
  for (const ScopedMessageFilter* at = innermost; at != nullptr; at = at->outer_)
    if (at->filter_.PreTranslateMessage(message)) return true;
  return false;
}

}  // namespace fw
