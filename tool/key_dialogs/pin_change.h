// Changing a key's user PIN: on the user's command, and forced on first use
// for a key whose PIN was never changed. The key checks and changes the PIN
// (TK_ChangeUserPinSec) from masked records; every path disconnects.
#pragma once
#include <string>

#include "device_api.h"
#include "key_dialog_host.h"

namespace brevant {

// 0 when the key's PIN must be changed.
int NeedsPinChange(const tk::DeviceApi& api, const std::string& reader);
// The first-use path: asks, then runs the PIN dialog until the change
// succeeds, the key locks or the user gives up.
void ForcePinChangeIfNew(const tk::DeviceApi& api, const std::string& reader, KeyDialogHost& host);
// The user's command (button 1003) for the key of `reader`.
void ChangePinForKey(const tk::DeviceApi& api, KeyDialogHost& host, const std::string& reader);

}  // namespace brevant
