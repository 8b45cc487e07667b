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
  void LayOut();
  void ShowMainWindow();
  void HideMainWindow() const { ShowWindow(hwnd(), SW_HIDE); }
  void RunAboutBox();
  void ConfirmExit();
  void InformUser(const std::string& text);

  int RefreshKeyTree();
  void OnSelectNode();
  // Slides the popup up with `text`; the one popup is made on first use.
  void ShowPopup(const char* text);
  void OnTrayNotify(LPARAM mouse_message);
  // The tree and the PIN check; the notice follows from the queue.
  LRESULT OnKeyInserted(const std::string& reader);
  // The popup with the insertion notice, then the bank's site.
  void OnArrivalNotice();
  void OnKeyRemovedMsg(const std::string& reader);
  void OnNotice(WPARAM which);
  void OnCopyData(const COPYDATASTRUCT* data);
  void OnCertsChanged(WPARAM what);
  void OnInitialPinChangeRequest(LPARAM ticket);
  void OnIdleTimerMessage(WPARAM wparam, LPARAM lparam);
  // The registered messages of other programs; false for any other.
  bool OnRegisteredMessage(UINT message, WPARAM wparam);
  void ViewSelectedCert();
  void OnRegisterCerts();
  void OnRemoveCerts();
  // Commands that act on the selected key; false when none is present.
  bool KeyCommandAllowed() const;
  void OnChangePin();
  void OnChangeLabel();
  void OnKeyInfo();

  fw::ScopedIcon icon_;
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

  // Change PIN, key info, certificate info, change label, hide: the column
  // of skinned buttons.
  CXPButton column_buttons_[5];
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
