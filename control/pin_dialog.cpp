#include "pin_dialog.h"

#include "identity.h"
#include "secret_buffer.h"

extern "C" HINSTANCE g_kestrine_module;

namespace kestrine {
namespace {

struct DialogData {
  std::string* pin;
};

INT_PTR CALLBACK PinDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      SetFocus(GetDlgItem(dialog, kPinField));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        auto* data = reinterpret_cast<DialogData*>(GetWindowLongPtrA(dialog, DWLP_USER));
        char text[256] = {};
        GetDlgItemTextA(dialog, kPinField, text, sizeof text);
        data->pin->assign(text);
        tk::SecureWipe(text, sizeof text);
        SetDlgItemTextA(dialog, kPinField, "");
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

bool AskForPin(HWND owner, std::string& pin) {
  DialogData data{&pin};
  return DialogBoxParamA(g_kestrine_module, MAKEINTRESOURCEA(kPinDialog), owner, PinDialogProc,
                         reinterpret_cast<LPARAM>(&data)) == IDOK;
}

}  // namespace kestrine
