#include "dialog.h"

namespace fw {
namespace {

// Messages whose answer a dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

// Re-enables the owner when the modal loop ends, on every path.
class DisabledOwner {
 public:
  explicit DisabledOwner(HWND owner) : owner_(owner != nullptr && IsWindowEnabled(owner) ? owner : nullptr) {
    if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  }
  DisabledOwner(const DisabledOwner&) = delete;
  DisabledOwner& operator=(const DisabledOwner&) = delete;
  ~DisabledOwner() { Restore(); }
  void Restore() {
    if (owner_ != nullptr) EnableWindow(owner_, TRUE);
    owner_ = nullptr;
  }

 private:
  HWND owner_;
};

}  // namespace

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<Dialog*>(lparam);
    dialog->Attach(window);
    return dialog->OnInitDialog() ? TRUE : FALSE;
  }
  auto* dialog = static_cast<Dialog*>(Window::FromHandle(window));
  if (dialog == nullptr) return FALSE;
  bool handled = false;
  const LRESULT result = dialog->Route(message, wparam, lparam, handled);
  if (message == WM_NCDESTROY) {
    dialog->Detach();
    dialog->OnFinalMessage();
    return FALSE;
  }
  if (!handled) return FALSE;
  if (AnswersDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

HWND Dialog::CreateFromTemplate(HWND owner) {
  if (hwnd() != nullptr) return nullptr;
  ended_ = false;
  result_ = 0;
  return CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(template_id_), owner, &DialogProc,
                            reinterpret_cast<LPARAM>(this));
}

bool Dialog::CreateModeless(HWND owner) {
  modal_ = false;
  return CreateFromTemplate(owner) != nullptr;
}

INT_PTR Dialog::DoModal(HWND owner) {
  modal_ = true;
  // Disabled before the dialog exists, so nothing reaches the owner once the
  // dialog can be seen.
  DisabledOwner disabled(owner);
  const HWND window = CreateFromTemplate(owner);
  if (window == nullptr) {
    modal_ = false;
    return -1;
  }
  if (!ended_ && (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) == 0) ShowWindow(window, SW_SHOWNORMAL);
  {
    const ScopedMessageFilter filter(*this);
    MSG message;
    while (!ended_) {
      const BOOL got = GetMessageW(&message, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        // Someone quit the thread: end the dialog and pass the quit on to
        // the loop outside.
        PostQuitMessage(static_cast<int>(message.wParam));
        if (!ended_) result_ = IDCANCEL;
        break;
      }
      if (PreTranslateThreadMessage(message)) continue;
      if (hwnd() != nullptr && IsDialogMessageW(hwnd(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  ended_ = true;
  // The owner takes the activation back before this window goes.
  disabled.Restore();
  if (hwnd() != nullptr) DestroyWindow(hwnd());
  modal_ = false;
  return result_;
}

void Dialog::EndDialog(INT_PTR result) {
  result_ = result;
  ended_ = true;
  if (hwnd() == nullptr) return;
  if (modal_) {
    // Wakes the loop should it be waiting.
    PostMessageW(hwnd(), WM_NULL, 0, 0);
  } else {
    DestroyWindow(hwnd());
  }
}

bool Dialog::OnCommand(int id, int /*code*/, HWND /*control*/) {
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

}  // namespace fw
