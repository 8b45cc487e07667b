#include "pin_dialog.h"

#include "dialog.h"
#include "identity.h"
#include "secret_buffer.h"

namespace kestrine {
namespace {

// The template is this DLL's resource (fw::Dialog loads from the module it is
// linked into).
class PinDialog final : public fw::Dialog {
 public:
  explicit PinDialog(std::string& pin) : Dialog(kPinDialog), pin_(pin) {}

 protected:
  bool OnInitDialog() override {
    SetFocus(Item(kPinField));
    return false;  // the focus is set
  }
  void OnOK() override {
    char text[256] = {};
    GetDlgItemTextA(hwnd(), kPinField, text, sizeof text);
    pin_.assign(text);
    tk::SecureWipe(text, sizeof text);
    SetItemText(kPinField, "");
    EndDialog(IDOK);
  }

 private:
  std::string& pin_;
};

}  // namespace

bool AskForPin(HWND owner, std::string& pin) {
  PinDialog dialog(pin);
  return dialog.DoModal(owner) == IDOK;
}

}  // namespace kestrine
