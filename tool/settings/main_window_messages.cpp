#include "main_window_messages.h"

#include "cached_texts.h"

namespace brevant {
namespace {

UINT Register(const char* format) { return RegisterWindowMessageA(NameWithCustomerCode(format).c_str()); }

}  // namespace

UINT CertsChangedMessage() { return Register("2F6A1C83-7D4E-4B09-A3C5-18E2F4D7906B_%05d"); }
UINT AllowedNoticeMessage() { return Register("9D4B7E26-3A1F-4C85-B6E0-52A9C8D3F174_%05d"); }
UINT ShowChangePinDialogMessage() { return Register("ShowChangePinDialog_%05d"); }
UINT MustChangeInitPinMessage() { return Register("qzr_must_changeinitpin_%05d"); }
UINT BringToFrontMessage() { return Register("set_find_win_top_msg_%05d"); }

}  // namespace brevant
