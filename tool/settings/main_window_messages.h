// The messages the main window answers: its own numbers (the tray icon, the
// key monitor and other programs of the suite post them to it; the last one
// it posts to itself) and the ones registered by name with the customer
// code (NNNNN, the five digits of "PCODE").
#pragma once
#include <windows.h>

namespace brevant {

// lParam: a ticket for the reader name; run the first-use PIN change for that key.
inline constexpr UINT kInitialPinChangeMessage = 0x432;
// The tray icon's mouse event: wParam the icon's id, lParam the mouse message.
inline constexpr UINT kTrayCallbackMessage = 0x464;
// A key arrived: lParam the key monitor's ticket for the reader name.
inline constexpr UINT kKeyPresentMessage = 0x466;
// A key left: lParam the key monitor's ticket for the reader name.
inline constexpr UINT kKeyRemovedMessage = 0x467;
// wParam 0: start the idle timer for lParam minutes; any other: stop it.
inline constexpr UINT kIdleTimerMessage = 0x468;
// A notice box: wParam 0 the key was removed, 1 idle too long.
inline constexpr UINT kNoticeMessage = 0x469;
// The window's own (WM_APP range): the popup and bank site of an arrival are due.
inline constexpr UINT kArrivalNoticeMessage = 0x8001;

// "2F6A1C83-7D4E-4B09-A3C5-18E2F4D7906B_NNNNN": certificates changed (wParam below; others: reload quietly).
UINT CertsChangedMessage();
inline constexpr WPARAM kRefreshTree = 1;      // list the keys again
inline constexpr WPARAM kCertsDownloaded = 2;  // reload the certificates and tell the user
// "9D4B7E26-3A1F-4C85-B6E0-52A9C8D3F174_NNNNN": let through the message filter; no action.
UINT AllowedNoticeMessage();
// "ShowChangePinDialog_NNNNN": let through the message filter; no action.
UINT ShowChangePinDialogMessage();
// "qzr_must_changeinitpin_NNNNN": its number at the head of a data message asks for the first-use PIN change.
UINT MustChangeInitPinMessage();
// "set_find_win_top_msg_NNNNN": come to the front (a second start broadcasts it).
UINT BringToFrontMessage();

}  // namespace brevant
