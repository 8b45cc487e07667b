// Turns one JSON request text into one JSON reply text by calling the key
// control. Every failure gives an empty reply.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "key_control.h"

namespace corvane {

// The reply must fit the connection's 2048-byte buffer with its NUL.
inline constexpr std::size_t kMaxReplyLength = 2047;

using TraceFn = std::function<void(const std::string& line)>;

// What the connection knows of whoever sent the request.
struct Caller {
  // Whether "KeyInit" and "esKeyUnblockUsrPin" are served: they wipe the
  // key or spend the administrator PIN's tries.
  bool may_change_key = false;
  std::string origin;  // the page's origin ("" when not known), for the trace
};

// Calls into `control` must already be serialised by the caller. A request
// `caller` may not make is refused with an empty reply and a trace line,
// without the control being called.
std::string DispatchRequest(std::string_view request, KeyControl& control, const Caller& caller,
                            const TraceFn& trace = nullptr);

}  // namespace corvane
