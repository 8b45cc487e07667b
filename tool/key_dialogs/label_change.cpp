#include "label_change.h"

#include <array>

#include "device_layer.h"
#include "device_session.h"
#include "language.h"
#include "modify_label_dlg.h"
#include "pin_retry.h"
#include "tool_message_box.h"

namespace brevant {
namespace {

constexpr std::size_t kLabelReadBytes = 260;

// The outcome, told without an owner window; an empty text tells nothing.
void TellOutcome(bool written) {
  const std::string text = LngText("TOOL", written ? "LABLE_MODIFY_SUS" : "LABLE_MODIFY_FAILED");
  if (!text.empty()) ToolMessageBox(nullptr, text, MB_OK);
}

}  // namespace

void ChangeLabelForKey(const tk::DeviceApi& api, KeyDialogHost& host, const std::string& reader) {
  if (reader.empty()) return;
  tk::DeviceConnection device(api);
  if (device.Connect(reader.c_str()) != tk::kOk || !device) return;
  EnumApplication(api, device.get());
  const HWND owner = host.HostWindow();
  RegisteredDialog<CModifyLabelDlg> dialog(host, reader);
  while (KeyIsPresent(api, reader)) {
    if (dialog.DoModal(owner) != IDOK) return;
    BYTE retries_left = 0;
    const tk::Result result = api.TK_VerifyUserPinSec(device.get(), &dialog.pin_record(), &retries_left);
    dialog.WipeRecord();
    switch (result) {
      case tk::kOk: {
        // Read as the key's own software does before writing; not used.
        std::array<char, kLabelReadBytes> current{};
        ULONG length = kLabelReadBytes;
        api.TK_ReadLabel(device.get(), current.data(), &length);
        const bool written = api.TK_WriteLabel(device.get(), dialog.label().c_str()) == tk::kOk;
        if (written) host.RefreshKeys();
        TellOutcome(written);
        return;
      }
      case tk::kPinLocked:
        TellPinLocked(owner);
        return;
      case tk::kUserCancelled:
        ToolMessageBox(owner, LngText("ChangePINPage", "IDS_USERCANCLE_CHANGELABLE"), MB_OK);
        return;
      case tk::kCancelledOrTimedOut:
        // The key gave up waiting: the user may try again.
        ToolMessageBox(owner, LngText("CSPRelInfo", "IDS_TIMEOUT_OPRATE"), MB_OK);
        break;
      default: {
        const bool again = AskPinRetry(owner, retries_left);
        if (again && retries_left == 1) WarnLastPinTry(owner);
        if (!again) return;
        break;
      }
    }
  }
}

}  // namespace brevant
