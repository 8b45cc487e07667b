// The PIN change dialog: old PIN, new PIN and its confirmation in PIN
// fields, a live strength grade, the PIN rules in a tooltip, the soft
// keyboard. Its own checks (mismatch, same as old, too simple) run before it
// closes; the change itself is the caller's (pin_change.h).
#pragma once
#include <windows.h>

#include <string>

#include "dialog.h"
#include "pp_tooltip.h"
#include "secure_edit.h"
#include "tk_defs.h"
#include "xp_style_button_st.h"

namespace brevant {

class CModifyPinDlg : public fw::Dialog {
 public:
  // `title` is the caption; `reader` the key the dialog is for.
  CModifyPinDlg(std::string reader, bool first_use, std::string title);
  ~CModifyPinDlg() override;  // wipes the records

  // The records OnOK prepared; in first-use mode the old one holds the
  // built-in initial PIN. Valid after the dialog ended with OK.
  const tk::PinTransferRecord& old_record() const { return old_record_; }
  const tk::PinTransferRecord& new_record() const { return new_record_; }
  // Zeroes the three records (before each showing, after each use).
  void WipeRecords();

  // The strength text below the fields; off empties it.
  void SetStrengthDisplay(bool on);
  bool first_use() const { return first_use_; }
  bool PreTranslateMessage(MSG& message) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(int id, NMHDR& header, LRESULT& result) override;

 private:
  void OnFieldChanged(int id);
  void UpdateOkButton();
  void ShowGrade();
  // A rejected PIN: OK off, both new fields emptied, the message shown.
  void Reject(const std::string& text, UINT type);
  // After a rejection: a key that has gone ends the dialog as cancelled.
  void EndIfKeyGone();
  // Shows the Caps Lock tip under `target` (the new-PIN field when null).
  void ShowCapsLockTip(HWND target);
  HWND FieldWindow(int id) const { return Item(id); }
  CSecureEditEx* FieldOf(HWND window);

  std::string reader_;
  bool first_use_;
  std::string title_;
  bool strength_display_ = true;
  CSecureEditEx old_pin_, new_pin_, confirmation_;
  CXPStyleButtonST soft_keyboard_button_;
  CPPToolTip tooltip_;
  std::string tip_text_;
  HWND target_ = nullptr;  // the PIN field the soft keyboard would type into
  tk::PinTransferRecord old_record_ = {};
  tk::PinTransferRecord new_record_ = {};
  tk::PinTransferRecord confirmation_record_ = {};
};

// The built-in initial PIN (the key's factory user PIN) into `record`, from
// its masked form: it never exists in plain form.
void FillInitialPinRecord(tk::PinTransferRecord& record);

}  // namespace brevant
