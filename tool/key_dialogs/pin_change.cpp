#include "pin_change.h"

#include "cached_texts.h"
#include "device_layer.h"
#include "device_session.h"
#include "language.h"
#include "modify_pin_dlg.h"
#include "pin_retry.h"
#include "pin_record.h"
#include "small_dialogs.h"
#include "tool_message_box.h"

namespace brevant {
namespace {

std::string Title(const std::string& label) {
  const std::string title = CachedText("TOOL_TITLE");
  return label.empty() ? title : title + " - " + label;
}

using RegisteredPinDialog = RegisteredDialog<CModifyPinDlg>;
using RegisteredQuestion = RegisteredDialog<CDlgMsgBox>;

}  // namespace

int NeedsPinChange(const tk::DeviceApi& api, const std::string& reader) {
  tk::DeviceConnection device(api);
  if (device.Connect(reader.c_str()) != tk::kOk || !device) return 1;
  EnumApplication(api, device.get());
  ULONG kind = 0;
  if (api.TK_GetHWApp(device.get(), &kind) != tk::kOk) return 1;
  if (kind != 1) return 0;
  ULONG tag = 0;
  api.TK_GetPinChangeTag(device.get(), &tag);
  if (tag == 0) api.TK_GetPinChangeTag(device.get(), &tag);
  return static_cast<int>(tag);
}

void ForcePinChangeIfNew(const tk::DeviceApi& api, const std::string& reader, KeyDialogHost& host) {
  tk::DeviceConnection device(api);
  if (device.Connect(reader.c_str()) != tk::kOk || !device) return;
  EnumApplication(api, device.get());
  ULONG retries = 0;
  api.TK_GetUserPinRetryNum(device.get(), &retries);
  if (retries == 0) return;
  if (NeedsPinChange(api, reader) != 0) return;
  const std::string label = ReadKeyLabel(api, reader);
  if (!KeyIsPresent(api, reader)) return;

  const HWND owner = host.HostWindow();
  // Registered with its key like the PIN dialog: pulling the key out while
  // the question is up ends the flow there.
  RegisteredQuestion ask(host, reader, owner);
  ask.SetCaption(CachedText("TOOL_TITLE"));
  ask.SetMessageText(LngText("ChangePINPage", "IDS_USING_FIRSTTIME"));
  if (ask.Run() == kClosedByRemoval || !KeyIsPresent(api, reader)) return;

  RegisteredPinDialog dialog(host, reader, reader, true, Title(label));
  while (dialog.DoModal(owner) == IDOK) {
    BYTE retries_left = 0;
    const tk::Result result =
        api.TK_ChangeUserPinSec(device.get(), &dialog.old_record(), &dialog.new_record(), &retries_left);
    dialog.WipeRecords();
    switch (result) {
      case tk::kOk:
        host.RefreshKeys();
        ToolMessageBox(owner, LngText("ChangePINPage", "IDS_SETPIN_SUCCESS"), MB_OK);
        return;
      case tk::kPinLocked:
        TellPinLocked(owner);
        return;
      case tk::kFirstUseChangeCancelled:
        ToolMessageBox(owner, LngText("ChangePINPage", "IDS_USERCANCLE_CHANGEPIN"), MB_OK);
        return;
      case tk::kWrongPin:
        if (!AskPinRetry(owner, retries_left)) return;
        break;
      default:
        return;
    }
  }
}

void ChangePinForKey(const tk::DeviceApi& api, KeyDialogHost& host, const std::string& reader) {
  if (reader.empty()) return;
  tk::DeviceConnection device(api);
  if (device.Connect(reader.c_str()) != tk::kOk || !device) return;
  const HWND owner = host.HostWindow();
  RegisteredPinDialog dialog(host, reader, reader, false, Title(ReadKeyLabel(api, reader)));
  while (KeyIsPresent(api, reader)) {
    dialog.WipeRecords();
    if (dialog.DoModal(owner) != IDOK) break;
    BYTE retries_left = 0;
    const tk::Result result =
        api.TK_ChangeUserPinSec(device.get(), &dialog.old_record(), &dialog.new_record(), &retries_left);
    const bool same = tk::PinRecordsEqual(dialog.new_record(), dialog.old_record());
    dialog.WipeRecords();
    if (result == tk::kOk) {
      if (same && ToolMessageBox(owner, LngText("TOOL", "DLG_MOFIDY_PIN_SAMEASOLD"), MB_OKCANCEL) == IDOK) continue;
      if (!same) ToolMessageBox(owner, LngText("TOOL", "DLG_MOFIDY_PIN_CHANGE_SUCCESS"), MB_OK);
      break;
    }
    if (result == tk::kPinLocked) {
      TellPinLocked(owner);
      break;
    }
    if (result == tk::kUserCancelled || result == tk::kCancelledOrTimedOut) {
      ToolMessageBox(owner, LngText("ChangePINPage", "IDS_USERCANCLE_CHANGEPIN"), MB_OK);
      break;
    }
    const bool again = AskPinRetry(owner, retries_left);
    if (retries_left == 1) WarnLastPinTry(owner);
    if (!again) break;
  }
}

}  // namespace brevant
