// The tool's main window: a dialog that starts hidden behind the tray icon,
// shows the keys present with their certificates, and routes every command.
#pragma once
#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cert_tree.h"
#include "dialog.h"
#include "key_record.h"
#include "key_dialog_host.h"
#include "key_info_dialog.h"
#include "key_tree_control.h"
#include "main_window_layout.h"
#include "msn_wnd.h"
#include "open_dialogs.h"
#include "scoped_gdi.h"
#include "scoped_handle.h"
#include "xp_button.h"

namespace brevant {

class CBrevantDlg : public fw::Dialog, public KeyDialogHost {
 public:
  CBrevantDlg();
  ~CBrevantDlg() override;
  bool PreTranslateMessage(MSG& message) override;

  // Dialogs that must close when their key goes register here while open.
  void RegisterOpenDialog(const std::string& reader, HWND dialog) override;
  void UnregisterOpenDialog(HWND dialog) override;
  HWND HostWindow() const override { return hwnd(); }
  void RefreshKeys() override { RefreshKeyTree(); }

 protected:
  bool OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnNotify(int id, NMHDR& header, LRESULT& result) override;

 private:
  // Start-up up to the single-instance check; ends the process when another
  // copy runs.
  void StartUp();
  void SetUpControls();
  void RegisterMessages();
  void LoadPictures(int dpi);
  // Places the controls and sizes the window for `dpi`; centres it on the
  // first layout, keeps the place Windows chose after a DPI change.
  void LayOut(int dpi, bool centre);
  void OnDpiChanged(WPARAM wparam, LPARAM suggested);
  void ShowMainWindow();
  void HideMainWindow() const { ShowWindow(hwnd(), SW_HIDE); }
  void RunAboutBox();
  void ConfirmExit();
  void InformUser(const std::string& text);

  int RefreshKeyTree();
  void OnSelectNode();
  // Slides the popup up with `text`; the one popup is made on first use.
  void ShowPopup(const char* text);
  // The window's own messages and the registered ones, each answered with
  // 0: the handler of `message`, null for any other.
  using MessageHandler = void (CBrevantDlg::*)(WPARAM wparam, LPARAM lparam);
  MessageHandler HandlerOf(UINT message) const;
  void OnTrayNotify(WPARAM icon, LPARAM mouse_message);
  void OnKeyPresentMessage(WPARAM wparam, LPARAM ticket);
  void OnKeyRemovedMessage(WPARAM wparam, LPARAM ticket);
  void OnNotice(WPARAM which, LPARAM lparam);
  // The popup with the insertion notice, then the bank's site.
  void OnArrivalNotice(WPARAM wparam, LPARAM lparam);
  void OnInitialPinChangeRequest(WPARAM wparam, LPARAM ticket);
  void OnIdleTimerMessage(WPARAM wparam, LPARAM lparam);
  void OnCertsChanged(WPARAM what, LPARAM lparam);
  void OnBringToFront(WPARAM wparam, LPARAM lparam);

  // System messages the window answers itself; false leaves them to the
  // default handling.
  bool HideWhileStarting();  // the first paints of the frame: it starts hidden
  bool OnSysCommand(WPARAM command);
  bool PaintIconWhenMinimised();

  // The tree and the PIN check; the notice follows from the queue.
  void OnKeyInserted(const std::string& reader);
  void OnKeyRemovedMsg(const std::string& reader);
  void OnCopyData(const COPYDATASTRUCT* data);
  void ViewSelectedCert();
  void OnRegisterCerts();
  void OnRemoveCerts();
  // Commands that act on the selected key; false when none is present.
  bool KeyCommandAllowed() const;
  void OnChangePin();
  void OnChangeLabel();
  void OnKeyInfo();

  fw::ScopedIcon big_icon_, small_icon_;
  fw::ScopedHandle instance_mutex_;  // held until the process ends
  UINT bring_to_front_message_ = 0;
  UINT certs_changed_message_ = 0;
  UINT allowed_notice_message_ = 0;
  UINT show_change_pin_message_ = 0;
  UINT must_change_pin_message_ = 0;
  int start_counter_ = 2;  // WM_NCPAINTs that hide the window at start
  bool initial_pin_flow_running_ = false;
  std::string copied_text_;  // the text of the last data message
  bool rebuilding_tree_ = false;

  CXPButton column_buttons_[kColumnButtons];  // the column of skinned buttons, from the top
  KeyTreeControl tree_;
  DetailsListControl details_;
  KeyRecordMap records_;
  std::unique_ptr<CertTree> cert_tree_;
  std::string selection_text_;
  fw::ScopedGdiObject banner_;
  fw::ScopedImageList tree_images_;
  std::unique_ptr<CMsnWnd> popup_;
  std::deque<std::string> arrivals_to_notice_;  // readers, in arrival order
  OpenDialogRegistry<HWND> open_dialogs_;
  ComputerTexts computer_texts_;  // worked out once, at start
};

}  // namespace brevant
