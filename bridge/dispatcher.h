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

// Calls into `control` must already be serialised by the caller.
std::string DispatchRequest(std::string_view request, KeyControl& control, const TraceFn& trace = nullptr);

}  // namespace corvane
