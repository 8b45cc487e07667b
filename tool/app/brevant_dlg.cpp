#include "brevant_dlg.h"

#include <commctrl.h>

#include <string>

#include "bank_clock.h"
#include "browser_integration.h"
#include "cached_texts.h"
#include "cert_store.h"
#include "cert_viewer.h"
#include "device_library_notice.h"
#include "dpi.h"
#include "key_info_dialog.h"
#include "key_monitor.h"
#include "key_monitor_wiring.h"
#include "label_change.h"
#include "language.h"
#include "main_window_layout.h"
#include "main_window_messages.h"
#include "message_contents.h"
#include "phase_trace.h"
#include "picture_resources.h"
#include "picture_scales.h"
#include "pin_change.h"
#include "program_icon.h"
#include "resource.h"
#include "scoped_crypt.h"
#include "scoped_gdi.h"
#include "settings.h"
#include "single_instance.h"
#include "small_dialogs.h"
#include "system_tray.h"
#include "text.h"
#include "text_cut.h"
#include "tool_message_box.h"

namespace brevant {
namespace {

// Change PIN, key info, certificate info, change label, hide: the column
// of skinned buttons, from the top.
constexpr int kColumnButtonIds[kColumnButtons] = {IDC_CHANGE_PIN, IDC_KEY_INFO, IDC_CERT_INFO, IDC_CHANGE_LABEL,
                                                  IDC_HIDE};
constexpr int kMaskColour = RGB(255, 0, 255);
constexpr int kTreeImageSize = 16;  // at 96 DPI
constexpr std::size_t kSelectionChars = 63;

constexpr UINT_PTR kStartTimer = 1000;  // stopped when it fires
constexpr UINT_PTR kIdleTimer = 1001;

// The exit question is held in a buffer of this size.
constexpr std::size_t kConfirmExitBuffer = 256;
// The text part of a data message is kept in a buffer of this size.
constexpr std::size_t kCopiedTextBuffer = 64;

// The built-in "certificate downloaded" notice, in code page 936.
constexpr char kCertsDownloadedText[] = "\xD6\xA4\xCA\xE9\xCF\xC2\xD4\xD8\xB3\xC9\xB9\xA6";

std::string ToolText(const char* key) { return CachedText(key); }

// Lets a message from other programs through the window message filter,
// with whichever of the two functions user32 has.
void AllowMessage(HWND window, UINT message) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
  using FilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  if (const auto filter =
          reinterpret_cast<FilterFn>(reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")))) {
    filter(message, 1 /* MSGFLT_ADD */);
    return;
  }
  if (const auto filter_ex = reinterpret_cast<FilterExFn>(
          reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
    struct {
      DWORD size;
      DWORD status;
    } filter_status = {8, 0};
    filter_ex(window, message, 1 /* MSGFLT_ALLOW */, &filter_status);
  }
}

}  // namespace

CBrevantDlg::CBrevantDlg() : Dialog(IDD_BREVANT_DIALOG) {}

CBrevantDlg::~CBrevantDlg() = default;

void CBrevantDlg::StartUp() {
  const bool library_loaded = LoadDeviceLibrary(SettingsPath().c_str()) == 0;
  LoadCachedTexts();  // without the library every text is empty
  SingleInstance instance = ClaimSingleInstance();
  instance_mutex_ = std::move(instance.mutex);
  bring_to_front_message_ = instance.bring_to_front_message;
  if (instance.another_copy_runs) {
    // The running copy may take the foreground: the user just asked for it.
    AllowSetForegroundWindow(ASFW_ANY);
    PostMessageW(HWND_BROADCAST, bring_to_front_message_, 0, 0);
    ExitProcess(0);
  }
  // The tool goes on (other programs' messages still reach it), but the user
  // learns why it will never see a key.
  if (!library_loaded) TellDeviceLibraryMissing(hwnd(), ProgramFolder());
}

bool CBrevantDlg::OnInitDialog() {
  StartUp();
  if (HMENU system_menu = GetSystemMenu(hwnd(), FALSE)) {
    wchar_t about[64] = {};
    if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, about, 64) > 0) {
      AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(system_menu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }
  // Before their texts and places are set, so they are drawn skinned from
  // the first paint.
  for (std::size_t i = 0; i < kColumnButtons; ++i) column_buttons_[i].SubclassButton(Item(kColumnButtonIds[i]));
  SetUpControls();
  RegisterMessages();
  computer_texts_ = ReadComputerTexts();
  cert_tree_ = std::make_unique<CertTree>(DeviceTable(), tree_, records_,
                                          CertSettings{CspInfo("CSP_NAME"), CspInfo("SM2_STORE_NAME")},
                                          [](const char* section, const char* key) { return LngText(section, key); });
  RefreshKeyTree();
  SetItemText(IDC_KEY_FRAME, LngText("TOOL", "USBKEY_INFO_FRAME"));
  PublishMainWindow(hwnd());
  StartKeyMonitor();
  for (int id : {IDC_FORMAT, IDC_HIDE, IDC_CHANGE_PIN, IDC_CHANGE_LABEL, IDC_KEY_INFO}) ShowItem(id, false);
  LayOut(fw::WindowDpi(hwnd()), true);
  return true;
}

void CBrevantDlg::SetUpControls() {
  tree_.Attach(Item(IDC_KEY_TREE));
  details_.Attach(Item(IDC_DETAILS_LIST));
  LoadPictures(fw::WindowDpi(hwnd()));

  details_.SetUpColumns(ToolText("LIST_CTL_TEXT_0"), 80, 145);

  SetItemText(IDC_WELCOME_TEXT, ToolText("WELCOM_TEXT_LOGIN"));

  SetText(ToolText("TOOL_TITLE"));
  const std::pair<int, const char*> buttons[] = {{IDC_CHANGE_PIN, "BUT_CHANGE_PIN"}, {IDC_CHANGE_LABEL, "BUT_CHANGE_LABEL"},
                                                 {IDC_FORMAT, "BUT_FORMAT"},         {IDC_HIDE, "BUT_EXIT"},
                                                 {IDC_CERT_INFO, "BUT_CERT_INFO"},   {IDC_KEY_INFO, "BUT_CHECK_SVR"}};
  for (const auto& [id, key] : buttons) SetItemText(id, ToolText(key));
}

void CBrevantDlg::RegisterMessages() {
  certs_changed_message_ = CertsChangedMessage();
  allowed_notice_message_ = AllowedNoticeMessage();
  show_change_pin_message_ = ShowChangePinDialogMessage();
  for (UINT message : {certs_changed_message_, allowed_notice_message_, show_change_pin_message_,
                       static_cast<UINT>(WM_COPYDATA), bring_to_front_message_})
    AllowMessage(hwnd(), message);
  must_change_pin_message_ = MustChangeInitPinMessage();
}

// The icons, the tree's images and the banner for a DPI: the icons at the
// sizes Windows asks for there, the pictures drawn for the largest scale not
// above it, so none is stretched by a fraction.
void CBrevantDlg::LoadPictures(int dpi) {
  const std::string icon_file = ProgramFolder() + "\\Brevant.ico";
  big_icon_ = IconFileAt(icon_file, SM_CXICON, SM_CYICON, dpi);
  small_icon_ = IconFileAt(icon_file, SM_CXSMICON, SM_CYSMICON, dpi);
  SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
  SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));

  const int scale = PictureScaleFor(dpi);
  const int image_size = fw::ScaleToDpi(kTreeImageSize, PictureDpi(scale));
  fw::ScopedImageList images(ImageList_LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TreeImagesFor(scale)),
                                                  image_size, 1, kMaskColour, IMAGE_BITMAP, LR_CREATEDIBSECTION));
  if (images) {
    SendMessageW(tree_.hwnd(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images.get()));
    tree_images_ = std::move(images);
  }

  // A bank that ships only the 100 % banner has it shown at its own size.
  fw::ScopedGdiObject banner;
  for (const int banner_scale : {scale, 100}) {
    const std::string file = ProgramFolder() + "\\" + BannerFileName(banner_scale);
    banner.reset(LoadImageA(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (banner) break;
  }
  if (banner) {
    SendMessageW(Item(IDC_BANNER), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner.get()));
    banner_ = std::move(banner);
  }
}

void CBrevantDlg::OnDpiChanged(WPARAM wparam, LPARAM suggested) {
  const int dpi = HIWORD(wparam);
  LoadPictures(dpi);
  fw::MoveToSuggestedRect(hwnd(), suggested);
  LayOut(dpi, false);
}

void CBrevantDlg::LayOut(int dpi, bool centre) {
  const MainWindowLayout layout = LayOutMainWindow(MainWindowMeasuresAt(dpi));
  const auto place = [this](int id, const Box& box) { MoveItem(id, box.x, box.y, box.width, box.height); };
  place(IDC_BANNER, layout.banner);
  for (std::size_t i = 0; i < kColumnButtons; ++i) {
    place(kColumnButtonIds[i], layout.buttons[i]);
    ShowItem(kColumnButtonIds[i], true);
  }
  place(IDC_BUTTON_FRAME, layout.button_frame);
  ShowItem(IDC_BUTTON_FRAME, false);
  place(IDC_KEY_TREE, layout.tree);
  ShowItem(IDC_DETAILS_LIST, false);
  place(IDC_KEY_FRAME, layout.key_frame);
  SetWindowSize(layout.window.width, layout.window.height);
  if (centre) CenterWindow();
}

void CBrevantDlg::ShowMainWindow() {
  // Once someone asks for the window, the start-up hiding is over.
  start_counter_ = 0;
  ShowWindow(hwnd(), SW_SHOWNORMAL);
  SetActiveWindow(hwnd());
  SetForegroundWindow(hwnd());
}

void CBrevantDlg::RunAboutBox() {
  CAboutDlg about;
  about.DoModal(hwnd());
}

void CBrevantDlg::ConfirmExit() {
  const std::string question = CutText(LngText("MainFrm", "IDS_CONFIRM_EXIT"), kConfirmExitBuffer);
  if (ToolMessageBox(hwnd(), question, MB_YESNO | MB_ICONQUESTION) == IDYES) EndDialog(IDOK);
}

void CBrevantDlg::InformUser(const std::string& text) { ToolMessageBox(hwnd(), text, MB_ICONINFORMATION); }

int CBrevantDlg::RefreshKeyTree() {
  if (!cert_tree_) return 1;
  // The rebuild moves the selection several times (emptied, the current
  // key, the first node); the details are read from the key once, for the
  // node it ends on.
  rebuilding_tree_ = true;
  const int result = cert_tree_->RefreshKeyTree();
  rebuilding_tree_ = false;
  OnSelectNode();
  return result;
}

void CBrevantDlg::OnSelectNode() {
  const HTREEITEM node = tree_.SelectedNode();
  if (node == nullptr) return;
  const TraceSpan span("details");
  selection_text_ = CutText(SelectedReaderName(tree_), kSelectionChars + 1);
  details_.Clear();
  const std::uint32_t id = tree_.NodeId(node);
  if (IsKeyNodeId(id)) ShowKeyProperties(tree_, node, details_);
  else if (id != kNoNodeId && (id >> 16) == 0x8000 && cert_tree_) cert_tree_->ShowCertDetails(node, details_);
}

void CBrevantDlg::ShowPopup(const char* text) {
  const TraceSpan span("popup");
  if (!popup_) popup_ = std::make_unique<CMsnWnd>(CachedText("IDS_HINT"), CachedText("TOOL_TITLE"));
  popup_->ShowMessage(text);
  ShowWindow(popup_->hwnd(), SW_SHOW);
  UpdateWindow(popup_->hwnd());
}

void CBrevantDlg::OnTrayNotify(WPARAM /*icon*/, LPARAM mouse_message) {
  switch (mouse_message) {
    case WM_LBUTTONDBLCLK:
      ShowMainWindow();
      return;
    case WM_RBUTTONUP: {
      const fw::ScopedMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
      const HMENU popup = menu.valid() ? GetSubMenu(menu.get(), 0) : nullptr;
      if (popup != nullptr) {
        static const std::string texts[] = {LngText("MENU", "IDS_MENU_SHOWTOOL"), LngText("MENU", "IDS_MENU_EXIT"),
                                            LngText("MENU", "IDS_MENU_LOGIN")};
        const UINT commands[] = {ID_MENU_SHOWTOOL, ID_MENU_EXIT, ID_MENU_LOGIN};
        for (UINT i = 0; i < 3; ++i) ModifyMenuA(popup, i, MF_BYPOSITION | MF_STRING, commands[i], texts[i].c_str());
        // Only the first item is offered.
        DeleteMenu(popup, 2, MF_BYPOSITION);
        DeleteMenu(popup, 1, MF_BYPOSITION);
        POINT cursor = {};
        GetCursorPos(&cursor);
        SetForegroundWindow(hwnd());
        TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, hwnd(), nullptr);
        // Without a message after it, the menu of a window in the
        // background does not close when the user clicks elsewhere.
        PostMessageW(hwnd(), WM_NULL, 0, 0);
      }
      return;
    }
    default:
      return;
  }
}

void CBrevantDlg::OnKeyPresentMessage(WPARAM /*wparam*/, LPARAM ticket) {
  // A message the key monitor did not send is not a key event.
  if (const std::optional<std::string> reader = TakeReaderName(ticket)) OnKeyInserted(*reader);
}

void CBrevantDlg::OnKeyRemovedMessage(WPARAM /*wparam*/, LPARAM ticket) {
  if (const std::optional<std::string> reader = TakeReaderName(ticket)) OnKeyRemovedMsg(*reader);
}

void CBrevantDlg::OnKeyInserted(const std::string& reader) {
  if (!cert_tree_) return;
  const TraceSpan span("arrival message", reader);
  cert_tree_->set_current_reader(reader);
  RefreshKeyTree();
  // The tree is painted now: the popup's window and a browser start come
  // after it, from the queue, and must not hold it back.
  UpdateWindow(tree_.hwnd());
  {
    const TraceSpan check("pin check");
    ForcePinChangeIfNew(DeviceTable(), reader, *this);
  }
  arrivals_to_notice_.push_back(reader);
  PostMessageW(hwnd(), kArrivalNoticeMessage, 0, 0);
}

void CBrevantDlg::OnArrivalNotice(WPARAM /*wparam*/, LPARAM /*lparam*/) {
  // Only the window itself asks for a notice: a message from elsewhere
  // finds none due.
  if (arrivals_to_notice_.empty() || !cert_tree_) return;
  const std::string reader = std::move(arrivals_to_notice_.front());
  arrivals_to_notice_.pop_front();
  const TraceSpan span("arrival notice", reader);
  const std::string notice = cert_tree_->InsertionNoticeFor(reader, BankTimeNow());
  ULONG state = 0;
  if (DeviceTable().TK_GetDevState(reader.c_str(), &state) != tk::kOk || state != tk::kStatePresent) return;
  ShowPopup(notice.c_str());
  if (TakeArrivalFlag()) {
    const TraceSpan site("bank site");
    OpenBankSiteOnArrival(reader.c_str());
  }
}

void CBrevantDlg::OnKeyRemovedMsg(const std::string& reader) {
  const TraceSpan span("removal message", reader);
  ShowPopup(CachedText("KEY_REMOVE"));
  open_dialogs_.CloseFor(reader, [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, kClosedByRemoval); });
  details_.Clear();
  selection_text_.clear();
  RefreshKeyTree();
}

void CBrevantDlg::RegisterOpenDialog(const std::string& reader, HWND dialog) { open_dialogs_.Register(reader, dialog); }

void CBrevantDlg::UnregisterOpenDialog(HWND dialog) { open_dialogs_.Unregister(dialog); }

void CBrevantDlg::OnNotice(WPARAM which, LPARAM /*lparam*/) {
  const char* section = which == 0 ? "MainFrm" : "TOOL";
  const char* key = which == 0 ? "MSGBOX_TYPE_REMOVEKEYTIP_CLOSEAPP" : "NOOPERATE_TOO_LONG_NOTE";
  if (which > 1) return;
  HiddenDLG hidden;
  hidden.CreateTopmost();
  const HWND owner = IsWindowVisible(hwnd()) ? hwnd() : hidden.hwnd();
  ToolMessageBox(owner, LngText(section, key), MB_ICONINFORMATION);
}

void CBrevantDlg::OnCopyData(const COPYDATASTRUCT* data) {
  if (data == nullptr) return;
  const DataMessage message = ParseDataMessage(static_cast<const char*>(data->lpData), data->cbData);
  copied_text_ = CutText(message.text, kCopiedTextBuffer);
  // The request carries its own copy of the reader name: a second data
  // message may come before the first request is handled.
  if (message.number == static_cast<int>(must_change_pin_message_) && !initial_pin_flow_running_)
    PostMessageW(hwnd(), kInitialPinChangeMessage, 0, MailReaderName(copied_text_.c_str()));
}

void CBrevantDlg::OnCertsChanged(WPARAM what, LPARAM /*lparam*/) {
  if (what == kRefreshTree) {
    const TraceSpan span("remaining keys");
    RefreshKeyTree();
    return;
  }
  RemoveProviderCerts(CspInfo("CSP_NAME"), CspInfo("SM2_STORE_NAME"));
  RefreshKeyTree();
  if (what == kCertsDownloaded) ShowPopup((std::string(kCertsDownloadedText) + "\n").c_str());
}

void CBrevantDlg::ViewSelectedCert() {
  if (PresentKeyCount() <= 0 || !cert_tree_ || tree_.SelectedNode() == nullptr) return;
  const std::optional<std::vector<BYTE>> cert = cert_tree_->SelectedCertificate();
  if (!cert) {
    InformUser(ToolText("CERT_UNFOUND"));
    return;
  }
  const fw::ScopedCertContext context(
      CertCreateCertificateContext(kCertEncoding, cert->data(), static_cast<DWORD>(cert->size())));
  if (context) ViewCertDialog(hwnd(), context.get(), ToolText("TOOL_TITLE"));
}

void CBrevantDlg::OnRegisterCerts() {
  if (PresentKeyCount() <= 0) return;
  if (tree_.SelectedNode() == nullptr) {
    InformUser(LngText("CertManagePage", "REGCERT_FAIL"));
    return;
  }
  // The command ends once it knows the key; nothing more is asked of it.
  SelectedReaderName(tree_);
}

void CBrevantDlg::OnRemoveCerts() {
  const DWORD result = RemoveProviderCerts(CspInfo("CSP_NAME"), CspInfo("SM2_STORE_NAME"));
  InformUser(LngText("CertManagePage", result == 0 ? "UNINSTALLCERT_SUC" : "UNINSTALLCERT_FAIL"));
}

bool CBrevantDlg::KeyCommandAllowed() const { return PresentKeyCount() > 0; }

void CBrevantDlg::OnChangePin() {
  if (!KeyCommandAllowed()) return;
  ChangePinForKey(DeviceTable(), *this, SelectedReaderName(tree_));
}


void CBrevantDlg::OnChangeLabel() {
  if (!KeyCommandAllowed()) return;
  if (tree_.SelectedNode() == nullptr) {
    ToolMessageBox(hwnd(), ToolText("PLEASE_SEL_KEY"), MB_OK);
    return;
  }
  ChangeLabelForKey(DeviceTable(), *this, SelectedReaderName(tree_));
}

void CBrevantDlg::OnKeyInfo() {
  if (!KeyCommandAllowed()) return;
  if (tree_.SelectedNode() == nullptr) {
    InformUser(ToolText("PLEASE_SEL_KEY_EVR"));
    return;
  }
  ShowKeyInfo(DeviceTable(), *this, SelectedReaderName(tree_), computer_texts_);
}

// Only a translation of keys lives here: message boxes, menus and the
// certificate viewer run loops of their own that never ask the filters, so
// every message that must not be lost is handled in the window procedure.
bool CBrevantDlg::PreTranslateMessage(MSG& message) {
  // Enter and Escape would end the main dialog, which ends the program. A
  // dialog opened over it keeps its own Enter and Escape.
  const bool ends_dialog =
      message.message == WM_KEYDOWN && (message.wParam == VK_ESCAPE || message.wParam == VK_RETURN);
  return ends_dialog && IsSelfOrChild(message.hwnd);
}

void CBrevantDlg::OnInitialPinChangeRequest(WPARAM /*wparam*/, LPARAM ticket) {
  // Taken in every case, so that a refused request keeps no copy. A request
  // that names no ticket of ours, posted by another program, is for the key
  // of the last data message.
  const std::string reader = TakeReaderName(ticket).value_or(copied_text_);
  if (initial_pin_flow_running_) return;
  initial_pin_flow_running_ = true;
  ForcePinChangeIfNew(DeviceTable(), reader, *this);
  initial_pin_flow_running_ = false;
}

void CBrevantDlg::OnIdleTimerMessage(WPARAM wparam, LPARAM lparam) {
  StopTimer(kIdleTimer);
  if (const std::optional<std::uint32_t> period = IdleTimerPeriodMs(wparam, lparam)) StartTimer(kIdleTimer, *period);
}

void CBrevantDlg::OnBringToFront(WPARAM /*wparam*/, LPARAM /*lparam*/) { ShowMainWindow(); }

bool CBrevantDlg::OnNotify(int id, NMHDR& header, LRESULT& result) {
  if (id != IDC_KEY_TREE) return false;
  result = 0;
  switch (header.code) {
    case NM_CLICK:
      return true;
    case TVN_SELCHANGEDW:
    case TVN_SELCHANGEDA:
      if (!rebuilding_tree_) OnSelectNode();
      return true;
    case NM_DBLCLK:
      if ((tree_.NodeId(tree_.SelectedNode()) & kCertNodeTag) == kCertNodeTag) ViewSelectedCert();
      return true;
    default:
      return false;
  }
}

CBrevantDlg::MessageHandler CBrevantDlg::HandlerOf(UINT message) const {
  switch (message) {
    case kTrayCallbackMessage: return &CBrevantDlg::OnTrayNotify;
    case kKeyPresentMessage: return &CBrevantDlg::OnKeyPresentMessage;
    case kKeyRemovedMessage: return &CBrevantDlg::OnKeyRemovedMessage;
    case kNoticeMessage: return &CBrevantDlg::OnNotice;
    case kArrivalNoticeMessage: return &CBrevantDlg::OnArrivalNotice;
    case kInitialPinChangeMessage: return &CBrevantDlg::OnInitialPinChangeRequest;
    case kIdleTimerMessage: return &CBrevantDlg::OnIdleTimerMessage;
    case WM_DPICHANGED: return &CBrevantDlg::OnDpiChanged;
    default: break;
  }
  // A registered message that is not there yet (or could not be) is 0.
  if (message == 0) return nullptr;
  if (message == certs_changed_message_) return &CBrevantDlg::OnCertsChanged;
  if (message == bring_to_front_message_) return &CBrevantDlg::OnBringToFront;
  return nullptr;
}

bool CBrevantDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  result = 0;
  if (const MessageHandler handler = HandlerOf(message)) {
    (this->*handler)(wparam, lparam);
    return true;
  }
  switch (message) {
    case WM_NCPAINT: return HideWhileStarting();
    case WM_SYSCOMMAND: return OnSysCommand(wparam & 0xFFF0);
    case WM_PAINT: return PaintIconWhenMinimised();
    case WM_HELP:
      result = TRUE;
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(big_icon_.get());
      return true;
    // Seen on their way to the default handling.
    case WM_CLOSE:
      HideMainWindow();  // the dialog manager then ends the dialog as Cancel
      return false;
    case WM_TIMER:
      if (wparam == kStartTimer) StopTimer(kStartTimer);
      return false;
    case WM_COPYDATA:
      OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lparam));
      return false;
    case WM_DESTROY:
      StopKeyMonitor();
      return false;
    default:
      return Dialog::OnMessage(message, wparam, lparam, result);
  }
}

bool CBrevantDlg::HideWhileStarting() {
  if (start_counter_ <= 0) return false;
  --start_counter_;
  HideMainWindow();
  return true;
}

bool CBrevantDlg::OnSysCommand(WPARAM command) {
  if (command == IDM_ABOUTBOX) RunAboutBox();
  else if (command == SC_CLOSE) HideMainWindow();
  else return false;
  return true;
}

bool CBrevantDlg::PaintIconWhenMinimised() {
  if (!IsIconic(hwnd()) || !big_icon_) return false;
  const fw::PaintDc dc(hwnd());
  RECT client = {};
  GetClientRect(hwnd(), &client);
  if (dc)
    DrawIcon(dc.get(), (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
             (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, big_icon_.get());
  return true;
}

bool CBrevantDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case ID_MENU_SHOWTOOL:
    case ID_MENU_SHOW_OLD:
      ShowMainWindow();
      return true;
    case ID_MENU_ABOUT:
      RunAboutBox();
      return true;
    case ID_MENU_EXIT:
      PostMessageW(hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case IDC_HIDE:
      HideMainWindow();
      return true;
    case ID_MENU_CONFIRM_EXIT:
      ConfirmExit();
      return true;
    case IDC_CERT_INFO:
      ViewSelectedCert();
      return true;
    case IDC_CHANGE_PIN:
      OnChangePin();
      return true;
    case IDC_CHANGE_LABEL:
      OnChangeLabel();
      return true;
    case IDC_KEY_INFO:
      OnKeyInfo();
      return true;
    case ID_CMD_REGISTER_CERTS:
      OnRegisterCerts();
      return true;
    case ID_CMD_REMOVE_CERTS:
      OnRemoveCerts();
      return true;
    case ID_CMD_START_BROWSER:
      StartBrowserFromAppPaths("");
      return true;
    default:
      return Dialog::OnCommand(id, code, control);
  }
}

}  // namespace brevant
