#include "pin_change.h"

#include <cstdio>

#include "cached_texts.h"
#include "device_layer.h"
#include "device_session.h"
#include "language.h"
#include "modify_pin_dlg.h"
#include "pin_record.h"
#include "small_dialogs.h"
#include "text_cut.h"
#include "tool_message_box.h"

namespace brevant {
namespace {

constexpr INT_PTR kClosedByRemoval = 100;  // a dialog closed because its key went
constexpr std::size_t kLastTryTextBytes = 1024;

bool KeyPresent(const tk::DeviceApi& api, const std::string& reader) {
  ULONG state = 0;
  return api.TK_GetDevState(reader.c_str(), &state) == tk::kOk && state == tk::kStatePresent;
}

// "Wrong PIN, n tries left. Try again?": true for OK.
bool AskRetry(HWND owner, BYTE retries_left) {
  const std::string format = LngText("QLAppView", "QLAPP_VERIFYPIN_ERR");
  char text[kTextBuffer] = {};
  std::snprintf(text, sizeof text, format.c_str(), static_cast<int>(retries_left));
  return ToolMessageBox(owner, text, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

std::string Title(const std::string& label) {
  const std::string title = CachedText("TOOL_TITLE");
  return label.empty() ? title : title + " - " + label;
}

// Registers the dialog with the main window while it is shown.
class RegisteredPinDialog : public CModifyPinDlg {
 public:
  RegisteredPinDialog(KeyDialogHost& host, const std::string& reader, bool first_use, const std::string& title)
      : CModifyPinDlg(reader, first_use, title), host_(host), reader_(reader) {}

 protected:
  bool OnInitDialog() override {
    const bool result = CModifyPinDlg::OnInitDialog();
    host_.RegisterOpenDialog(reader_, hwnd());
    return result;
  }
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    if (message == WM_DESTROY) host_.UnregisterOpenDialog(hwnd());
    return CModifyPinDlg::OnMessage(message, wparam, lparam, result);
  }

 private:
  KeyDialogHost& host_;
  std::string reader_;
};

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
  if (!KeyPresent(api, reader)) return;

  const HWND owner = host.HostWindow();
  CDlgMsgBox ask(owner);
  ask.SetCaption(CachedText("TOOL_TITLE"));
  ask.SetMessageText(LngText("ChangePINPage", "IDS_USING_FIRSTTIME"));
  if (ask.Run() == kClosedByRemoval) return;

  RegisteredPinDialog dialog(host, reader, true, Title(label));
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
        ToolMessageBox(owner, LngText("DeviceInfoPage", "IDS_USER_PIN_LOCKED"), MB_ICONERROR);
        return;
      case tk::kFirstUseChangeCancelled:
        ToolMessageBox(owner, LngText("ChangePINPage", "IDS_USERCANCLE_CHANGEPIN"), MB_OK);
        return;
      case tk::kWrongPin:
        if (!AskRetry(owner, retries_left)) return;
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
  RegisteredPinDialog dialog(host, reader, false, Title(ReadKeyLabel(api, reader)));
  while (KeyPresent(api, reader)) {
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
      ToolMessageBox(owner, LngText("DeviceInfoPage", "IDS_USER_PIN_LOCKED"), MB_ICONERROR);
      break;
    }
    if (result == tk::kUserCancelled || result == tk::kCancelledOrTimedOut) {
      ToolMessageBox(owner, LngText("ChangePINPage", "IDS_USERCANCLE_CHANGEPIN"), MB_OK);
      break;
    }
    const bool again = AskRetry(owner, retries_left);
    if (retries_left == 1) {
      char last_try[kLastTryTextBytes] = {};
      CopyCut(last_try, LngText("QLHWInfo", "TX_PIN_LAST_ONE").c_str());
      ToolMessageBox(owner, last_try, MB_ICONEXCLAMATION);
    }
    if (!again) break;
  }
}

}  // namespace brevant
