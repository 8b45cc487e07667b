// Renaming a key: the label dialog until the key accepts the PIN, then the
// label written. The key checks the PIN from its masked record
// (TK_VerifyUserPinSec); every path disconnects.
#pragma once
#include <string>

#include "device_api.h"
#include "key_dialog_host.h"

namespace brevant {

// The user's command (button 1004) for the key of `reader`.
void ChangeLabelForKey(const tk::DeviceApi& api, KeyDialogHost& host, const std::string& reader);

}  // namespace brevant
