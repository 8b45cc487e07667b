#include "modify_label_dlg.h"

#include "cached_texts.h"
#include "language.h"
#include "pin_record.h"
#include "pin_strength.h"
#include "program_icon.h"
#include "resource.h"
#include "secret_buffer.h"
#include "soft_keyboard.h"

namespace brevant {
namespace {

std::string ToolKeyText(const char* key) { return LngText("TOOL", key); }

}  // namespace

CModifyLabelDlg::CModifyLabelDlg() : fw::Dialog(IDD_MODIFY_LABEL) {}

CModifyLabelDlg::~CModifyLabelDlg() { WipeRecord(); }

void CModifyLabelDlg::WipeRecord() { tk::SecureWipe(&pin_record_, sizeof pin_record_); }

bool CModifyLabelDlg::OnInitDialog() {
  SetText(CachedText("TOOL_TITLE"));
  SetItemText(IDC_LABEL_NAME_CAPTION, ToolKeyText("USBKEY_NAME"));
  SetItemText(IDC_LABEL_PIN_CAPTION, ToolKeyText("USBKEY_PWD"));
  SetItemText(IDC_LABEL_SOFT_KEYBOARD, ToolKeyText("DLG_SOFT_KEY"));
  SetItemText(IDOK, ToolKeyText("BUT_IDOK"));
  SetItemText(IDCANCEL, ToolKeyText("BUT_IDCANCEL"));
  ShowItem(IDC_LABEL_HINT, false);
  ShowItem(IDC_LABEL_PIN_HINT, false);
  // Drawn for the dialog's DPI and kept for the process: nothing to destroy.
  const HICON icon = SmallProgramIcon(hwnd());
  if (icon != nullptr) SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  if (const HICON big = BigProgramIcon(hwnd())) SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  soft_keyboard_button_.SubclassButton(Item(IDC_LABEL_SOFT_KEYBOARD));
  soft_keyboard_button_.SetIcon(icon);
  pin_.SubclassEdit(Item(IDC_LABEL_PIN));
  pin_.Clear();
  // Back after a refused PIN or a time-out: the label need not be typed again.
  SetItemText(IDC_LABEL_NAME, label_);
  EnableWindow(Item(IDOK), FALSE);
  target_ = Item(IDC_LABEL_NAME);
  SetFocus(target_);
  return false;
}

bool CModifyLabelDlg::IsField(HWND window) const {
  return window != nullptr && (window == Item(IDC_LABEL_NAME) || window == Item(IDC_LABEL_PIN));
}

bool CModifyLabelDlg::OnCommand(int id, int code, HWND control) {
  if ((id == IDC_LABEL_NAME || id == IDC_LABEL_PIN) && code == EN_CHANGE) {
    if (id == IDC_LABEL_NAME) OnLabelChanged();
    UpdateOkButton();
    return true;
  }
  if ((id == IDC_LABEL_NAME || id == IDC_LABEL_PIN) && code == EN_SETFOCUS) {
    target_ = control;
    // The PIN field tells the keyboard itself; the label field is plain.
    if (id == IDC_LABEL_NAME) SetSoftKeyboardTarget(control);
    return false;
  }
  if (id == IDC_LABEL_SOFT_KEYBOARD && code == BN_CLICKED) {
    ToggleSoftKeyboard(hwnd(), target_ != nullptr ? target_ : Item(IDC_LABEL_PIN));
    return true;
  }
  return fw::Dialog::OnCommand(id, code, control);
}

void CModifyLabelDlg::OnLabelChanged() {
  const std::string text = ItemText(IDC_LABEL_NAME);
  if (text.size() <= kLongestLabel) {
    label_ = text;
    return;
  }
  // Cut nothing: a cut could split a double-byte character.
  SetItemText(IDC_LABEL_NAME, label_);
  const int end = GetWindowTextLengthW(Item(IDC_LABEL_NAME));
  SendMessageW(Item(IDC_LABEL_NAME), EM_SETSEL, end, end);
}

void CModifyLabelDlg::UpdateOkButton() {
  EnableWindow(Item(IDOK), LabelChangeAllowed(label_.size(), pin_.count()) ? TRUE : FALSE);
}

void CModifyLabelDlg::OnOK() {
  if (!LabelChangeAllowed(label_.size(), pin_.count())) return;
  WipeRecord();
  pin_.ExportMasked(pin_record_);
  CloseSoftKeyboard();
  EndDialog(IDOK);
}

void CModifyLabelDlg::OnCancel() {
  CloseSoftKeyboard();
  WipeRecord();
  EndDialog(IDCANCEL);
}

bool CModifyLabelDlg::PreTranslateMessage(MSG& message) {
  if (hwnd() == nullptr || message.message != WM_LBUTTONDOWN) return false;
  if (IsField(message.hwnd)) target_ = message.hwnd;
  if (message.hwnd == Item(IDC_LABEL_SOFT_KEYBOARD) && !IsField(GetFocus())) target_ = Item(IDC_LABEL_PIN);
  return false;
}

}  // namespace brevant
