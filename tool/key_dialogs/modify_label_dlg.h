// The label dialog: the key's new label and the user PIN in a PIN field,
// with the soft keyboard. On OK it hands the label and the masked PIN to
// its caller (label_change.h), which has the key check the PIN and write.
#pragma once
#include <windows.h>

#include <string>

#include "dialog.h"
#include "secure_edit.h"
#include "tk_defs.h"
#include "xp_style_button_st.h"

namespace brevant {

class CModifyLabelDlg : public fw::Dialog {
 public:
  CModifyLabelDlg();
  ~CModifyLabelDlg() override;  // wipes the record

  // The label as it stood at OK; shown again when the dialog comes back.
  const std::string& label() const { return label_; }
  // The PIN as OnOK exported it; valid after the dialog ended with OK.
  const tk::PinTransferRecord& pin_record() const { return pin_record_; }
  void WipeRecord();
  bool PreTranslateMessage(MSG& message) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void OnLabelChanged();
  void UpdateOkButton();
  bool IsField(HWND window) const;

  CSecureEditEx pin_;
  CXPStyleButtonST soft_keyboard_button_;
  std::string label_;        // the field's last text within the limit
  HWND target_ = nullptr;    // the field the soft keyboard types into
  tk::PinTransferRecord pin_record_ = {};
};

}  // namespace brevant
