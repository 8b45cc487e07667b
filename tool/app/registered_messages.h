// The messages other programs of the suite send the tool, registered by
// name with the customer code, and its private messages.
#pragma once
#include <windows.h>

namespace brevant {

// Certificates on a key changed: wParam 1 refresh the tree, 2 reload the
// certificates and tell the user, other values reload them quietly.
UINT CertsChangedMessage();
// Let through the message filter; no action.
UINT AllowedNoticeMessage();
UINT ShowChangePinDialogMessage();
// Compared with the number a data message starts with.
UINT MustChangeInitPinMessage();

inline constexpr UINT kInitialPinChangeMessage = 0x432;
inline constexpr UINT kIdleTimerMessage = 0x468;
inline constexpr UINT kNoticeMessage = 0x469;
inline constexpr UINT_PTR kStartTimer = 1000;
inline constexpr UINT_PTR kIdleTimer = 1001;
inline constexpr WPARAM kRefreshTree = 1;
inline constexpr WPARAM kCertsDownloaded = 2;

}  // namespace brevant
