#include "pin_retry.h"

#include <string>

#include "language.h"
#include "text_cut.h"
#include "tool_message_box.h"

namespace brevant {
namespace {

constexpr std::size_t kLastTryTextBytes = 1024;

}  // namespace

bool AskPinRetry(HWND owner, BYTE retries_left) {
  // The text comes from a file anyone may edit: the number goes in by hand,
  // never through a format.
  char text[kTextBuffer] = {};
  CopyCut(text, WithNumber(LngText("QLAppView", "QLAPP_VERIFYPIN_ERR"), retries_left));
  return ToolMessageBox(owner, text, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}

void WarnLastPinTry(HWND owner) {
  char last_try[kLastTryTextBytes] = {};
  CopyCut(last_try, LngText("QLHWInfo", "TX_PIN_LAST_ONE").c_str());
  ToolMessageBox(owner, last_try, MB_ICONEXCLAMATION);
}

void TellPinLocked(HWND owner) { ToolMessageBox(owner, LngText("DeviceInfoPage", "IDS_USER_PIN_LOCKED"), MB_ICONERROR); }

}  // namespace brevant
