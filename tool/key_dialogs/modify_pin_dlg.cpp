#include "modify_pin_dlg.h"

#include <cstdlib>
#include <cstring>

#include "cached_texts.h"
#include "device_table.h"
#include "language.h"
#include "pin_record.h"
#include "program_icon.h"
#include "resource.h"
#include "secret_buffer.h"
#include "soft_keyboard.h"
#include "text_cut.h"
#include "tool_message_box.h"

namespace brevant {
namespace {

// The factory user PIN, masked: character i is kInitialPinMasked[i] XOR
// kInitialPinMask[i]. The mask is the first 32 characters of a fixed
// 33-character string.
constexpr char kInitialPinMaskText[] = "zxcvbnmasdfghjklqwertyuiopmnbvcxz";
static_assert(sizeof kInitialPinMaskText == 34, "33 characters and the terminator");
constexpr std::uint8_t kInitialPinMasked[] = {0x4B, 0x4A, 0x50, 0x42, 0x57, 0x58, 0x5A, 0x59};
constexpr std::size_t kInitialPinLength = sizeof kInitialPinMasked;

constexpr std::size_t kStrengthTextBytes = 300;
const int kPinFields[] = {IDC_OLD_PIN, IDC_NEW_PIN, IDC_CONFIRM_PIN};

bool IsPinField(int id) { return id == IDC_OLD_PIN || id == IDC_NEW_PIN || id == IDC_CONFIRM_PIN; }
bool CapsLockOn() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

std::string PinText(const char* key) { return LngText("ChangePINPage", key); }
std::string ToolKeyText(const char* key) { return LngText("TOOL", key); }

}  // namespace

void FillInitialPinRecord(tk::PinTransferRecord& record) {
  tk::SecureWipe(&record, sizeof record);
  record.count = kInitialPinLength;
  std::memcpy(record.data, kInitialPinMasked, kInitialPinLength);
  std::memcpy(record.mask, kInitialPinMaskText, tk::kPinMaskSize);
}

CModifyPinDlg::CModifyPinDlg(std::string reader, bool first_use, std::string title)
    : fw::Dialog(IDD_MODIFY_PIN), reader_(std::move(reader)), first_use_(first_use), title_(std::move(title)) {}

CModifyPinDlg::~CModifyPinDlg() { WipeRecords(); }

void CModifyPinDlg::WipeRecords() {
  tk::SecureWipe(&old_record_, sizeof old_record_);
  tk::SecureWipe(&new_record_, sizeof new_record_);
  tk::SecureWipe(&confirmation_record_, sizeof confirmation_record_);
}

bool CModifyPinDlg::OnInitDialog() {
  SetText(title_.empty() ? CachedText("TOOL_TITLE") : title_);
  SetItemText(IDC_PIN_RULE_TEXT, ToolKeyText("DLG_MOFIDY_PIN_EDIT1"));
  SetItemText(IDC_OLD_PIN_LABEL, ToolKeyText("DLG_MOFIDY_PIN_OLD_PIN"));
  SetItemText(IDC_NEW_PIN_LABEL, ToolKeyText("DLG_MOFIDY_PIN_NEW_PIN"));
  SetItemText(IDC_CONFIRM_PIN_LABEL, ToolKeyText("DLG_MOFIDY_PIN_NEW_PIN1"));
  SetItemText(IDC_PIN_STRENGTH_LABEL, ToolKeyText("DLG_MOFIDY_PIN_CHECK_PIN"));
  SetItemText(IDC_PIN_SOFT_KEYBOARD, ToolKeyText("DLG_SOFT_KEY"));
  SetItemText(IDOK, ToolKeyText("BUT_IDOK"));
  SetItemText(IDCANCEL, ToolKeyText("BUT_IDCANCEL"));

  old_pin_.SubclassEdit(Item(IDC_OLD_PIN));
  new_pin_.SubclassEdit(Item(IDC_NEW_PIN));
  confirmation_.SubclassEdit(Item(IDC_CONFIRM_PIN));
  for (CSecureEditEx* field : {&old_pin_, &new_pin_, &confirmation_}) field->Clear();
  // The first-use change starts from the built-in PIN: nothing to type.
  if (first_use_) EnableWindow(Item(IDC_OLD_PIN), FALSE);
  EnableWindow(Item(IDOK), FALSE);
  soft_keyboard_button_.SubclassButton(Item(IDC_PIN_SOFT_KEYBOARD));
  soft_keyboard_button_.SetIcon(SmallProgramIcon(hwnd()));  // kept for the process: nothing to destroy
  target_ = Item(first_use_ ? IDC_NEW_PIN : IDC_OLD_PIN);

  tip_text_ = ToolKeyText("SETPIN_TIP");
  if (tooltip_.Create(hwnd())) {
    tooltip_.SetColorBk(RGB(250, 250, 250), RGB(250, 250, 250), RGB(250, 250, 250));
    tooltip_.SetBorder(RGB(0, 0, 50));
    tooltip_.SetShadow(0, 0, 0);
    const std::string active = ToolKeyText("SHOW_TIP_ACTIVETIME");
    if (const int ms = std::atoi(active.c_str()); ms > 0) tooltip_.SetAutoPopTime(static_cast<UINT>(ms));
    const std::string delay = ToolKeyText("SHOW_TIP_DELAYTIME");
    if (const int ms = std::atoi(delay.c_str()); ms > 0) tooltip_.SetInitialTime(static_cast<UINT>(ms));
    const std::string mouse_tip = ToolKeyText("SHOW_MOUSEMOVE_TIP");
    if (!mouse_tip.empty() && mouse_tip != "0") tooltip_.AddTool(Item(IDC_NEW_PIN), tip_text_);
  }
  // At the start the tip goes under the new PIN, the field it is about.
  if (CapsLockOn()) ShowCapsLockTip(Item(IDC_NEW_PIN));
  SetFocus(Item(first_use_ ? IDC_NEW_PIN : IDC_OLD_PIN));
  return false;
}

CSecureEditEx* CModifyPinDlg::FieldOf(HWND window) {
  if (window == old_pin_.hwnd()) return &old_pin_;
  if (window == new_pin_.hwnd()) return &new_pin_;
  if (window == confirmation_.hwnd()) return &confirmation_;
  return nullptr;
}

bool CModifyPinDlg::OnCommand(int id, int code, HWND control) {
  if (IsPinField(id) && code == EN_CHANGE) {
    OnFieldChanged(id);
    return true;
  }
  if (id == IDC_PIN_SOFT_KEYBOARD && code == BN_CLICKED) {
    ToggleSoftKeyboard(hwnd(), target_ != nullptr ? target_ : Item(IDC_NEW_PIN));
    return true;
  }
  if (IsPinField(id) && code == EN_SETFOCUS) {
    target_ = control;
    return false;
  }
  return fw::Dialog::OnCommand(id, code, control);
}

bool CModifyPinDlg::OnNotify(int /*id*/, NMHDR& /*header*/, LRESULT& /*result*/) { return false; }

void CModifyPinDlg::OnFieldChanged(int id) {
  if (id == IDC_NEW_PIN) ShowGrade();
  UpdateOkButton();
}

void CModifyPinDlg::UpdateOkButton() {
  if (!new_pin_.edited()) return;
  const bool allowed = PinChangeAllowed(old_pin_.count(), new_pin_.count(), confirmation_.count(), first_use_);
  EnableWindow(Item(IDOK), allowed ? TRUE : FALSE);
}

void CModifyPinDlg::SetStrengthDisplay(bool on) {
  strength_display_ = on;
  if (!on) {
    SetItemText(IDC_PIN_STRENGTH, "");
    return;
  }
  ShowGrade();
  if (ItemText(IDC_PIN_STRENGTH).empty()) SetItemText(IDC_PIN_STRENGTH, PinText("QL_NEWPIN_LOW_PW_SHORT"));
}

void CModifyPinDlg::ShowGrade() {
  if (!strength_display_ || hwnd() == nullptr) return;
  static const char* const kShort[] = {"QL_NEWPIN_LOW_PW_SHORT", "QL_NEWPIN_MID_PW_SHORT", "QL_NEWPIN_HIGH_PW_SHORT"};
  static const char* const kLong[] = {"QL_NEWPIN_LOW_PWSGRADE", "QL_NEWPIN_MID_PWSGRADE", "QL_NEWPIN_HIGH_PWSGRADE"};
  const int grade = static_cast<int>(GradePin(new_pin_.Analyse()));
  std::string text = PinText(kShort[grade]);
  if (text.empty()) text = PinText(kLong[grade]);
  char cut[kStrengthTextBytes] = {};
  CopyCut(cut, text.c_str());
  SetItemText(IDC_PIN_STRENGTH, cut);
}

void CModifyPinDlg::Reject(const std::string& text, UINT type) {
  EnableWindow(Item(IDOK), FALSE);
  new_pin_.Clear();
  confirmation_.Clear();
  ShowGrade();
  SetFocus(Item(IDC_NEW_PIN));
  ToolMessageBox(hwnd(), text, type);
  EndIfKeyGone();
}

void CModifyPinDlg::EndIfKeyGone() {
  ULONG state = 0;
  if (DeviceTable().TK_GetDevState(reader_.c_str(), &state) == tk::kOk && state != tk::kStatePresent) {
    CloseSoftKeyboard();
    EndDialog(IDCANCEL);
  }
}

void CModifyPinDlg::OnOK() {
  WipeRecords();
  new_pin_.ExportMasked(new_record_);
  confirmation_.ExportMasked(confirmation_record_);
  if (first_use_) FillInitialPinRecord(old_record_);
  else old_pin_.ExportMasked(old_record_);

  if (!tk::PinRecordsEqual(new_record_, confirmation_record_)) {
    Reject(PinText("IDS_NEW_PIN_NOT_EQUAL"), MB_ICONEXCLAMATION);
    return;
  }
  if (tk::PinRecordsEqual(new_record_, old_record_)) {
    Reject(ToolKeyText("DLG_MOFIDY_PIN_SAMEASOLD"), MB_OKCANCEL);
    return;
  }
  if (IsPinTooSimple(new_pin_.Analyse(), new_pin_.count())) {
    Reject(PinText("IDS_PW_SOSIMPLE"), MB_ICONEXCLAMATION);
    return;
  }
  tk::SecureWipe(&confirmation_record_, sizeof confirmation_record_);
  CloseSoftKeyboard();
  EndDialog(IDOK);
}

void CModifyPinDlg::OnCancel() {
  CloseSoftKeyboard();
  WipeRecords();
  EndDialog(IDCANCEL);
}

void CModifyPinDlg::ShowCapsLockTip(HWND target) {
  if (target == nullptr || GetParent(target) != hwnd()) target = Item(IDC_NEW_PIN);
  RECT place = {};
  GetWindowRect(target, &place);
  tooltip_.ShowHelpTooltip(POINT{place.left + 12, place.bottom}, tip_text_);
}

bool CModifyPinDlg::PreTranslateMessage(MSG& message) {
  // Only this dialog's own input: a message box over it takes its Escape.
  if (!IsSelfOrChild(message.hwnd)) return false;
  tooltip_.RelayEvent(message);
  if (message.message == WM_LBUTTONDOWN) {
    const int id = GetDlgCtrlID(message.hwnd);
    if (GetParent(message.hwnd) == hwnd() && IsPinField(id)) target_ = message.hwnd;
    if (message.hwnd == Item(IDC_PIN_SOFT_KEYBOARD)) {
      const HWND focus = GetFocus();
      if (focus == nullptr || !IsPinField(GetDlgCtrlID(focus)) || GetParent(focus) != hwnd())
        target_ = Item(first_use_ ? IDC_NEW_PIN : IDC_OLD_PIN);
    }
  }
  if ((message.message == WM_KEYDOWN || message.message == WM_KEYUP) && message.wParam == VK_CAPITAL) {
    if (CapsLockOn()) ShowCapsLockTip(target_);
    else if (tooltip_.help_shown()) tooltip_.HideTooltip();
  }
  return message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE;
}

}  // namespace brevant
