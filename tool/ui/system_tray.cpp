#include "system_tray.h"

#include <string>
#include <utility>

#include "cached_texts.h"
#include "dpi.h"
#include "program_icon.h"
#include "settings.h"
#include "text_cut.h"
#include "window.h"

namespace brevant {
namespace {

// The record as the shell first knew it: up to the balloon's identifier.
constexpr DWORD kRecordSize = NOTIFYICONDATAA_V3_SIZE;
#ifndef _WIN64
static_assert(kRecordSize == 504);
#endif
constexpr DWORD kWarningBalloon = NIIF_WARNING;
// Built in as the text "0"; 0 stands for ten seconds.
constexpr UINT kToolBalloonSeconds = 10;

}  // namespace

class CSystemTray::HiddenWindow : public fw::Window {
 public:
  explicit HiddenWindow(CSystemTray& tray) : tray_(tray) {}

 protected:
  bool OnMessage(UINT message, WPARAM /*wparam*/, LPARAM /*lparam*/, LRESULT& result) override {
    if (message != TaskbarCreatedMessage()) return false;
    tray_.OnTaskbarCreated();
    result = 0;
    return true;
  }

 private:
  CSystemTray& tray_;
};

CSystemTray::CSystemTray() = default;

CSystemTray::~CSystemTray() {
  RemoveIcon();
  // A window left alive here belongs to a thread that may be gone; the
  // process's end takes it.
  if (hidden_ && hidden_->hwnd() != nullptr) static_cast<void>(hidden_.release());
}

UINT CSystemTray::TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

bool CSystemTray::CreateHiddenWindow() {
  std::lock_guard guard(lock_);
  if (hidden_ && hidden_->hwnd() != nullptr) return true;
  TaskbarCreatedMessage();
  fw::RegisterWindowClass(kTrayWindowClass, CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
  hidden_ = std::make_unique<HiddenWindow>(*this);
  return hidden_->Create(kTrayWindowClass, "", WS_POPUP, 0, RECT{}, nullptr);
}

HWND CSystemTray::hidden_window() const {
  std::lock_guard guard(lock_);
  return hidden_ ? hidden_->hwnd() : nullptr;
}

void CSystemTray::SetMainWindow(HWND window) {
  std::lock_guard guard(lock_);
  main_window_ = window;
}

bool CSystemTray::Create(const char* tooltip, HICON icon, UINT balloon_seconds) {
  if (hidden_window() == nullptr) CreateHiddenWindow();

  std::lock_guard guard(lock_);
  record_ = NOTIFYICONDATAA{};
  record_.cbSize = kRecordSize;
  record_.hWnd = main_window_ != nullptr ? main_window_ : (hidden_ ? hidden_->hwnd() : nullptr);
  record_.uID = kTrayIconId;
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
  record_.uCallbackMessage = kTrayCallbackMessage;
  record_.hIcon = icon;
  CopyCut(record_.szTip, tooltip != nullptr ? tooltip : "");
  record_.uTimeout = balloon_seconds * 1000;
  record_.dwInfoFlags = kWarningBalloon;
  creation_flags_ = record_.uFlags;

  const bool added = shell_(NIM_ADD, &record_) != FALSE;
  removed_ = show_pending_ = !added;
  record_.szInfo[0] = '\0';  // later requests carry no balloon
  return added;
}

bool CSystemTray::RemoveIcon() {
  std::lock_guard guard(lock_);
  show_pending_ = false;
  if (removed_) return true;
  record_.uFlags = 0;
  if (shell_(NIM_DELETE, &record_)) removed_ = true;
  return removed_;
}

void CSystemTray::OnTaskbarCreated() {
  std::lock_guard guard(lock_);
  // Only an icon the shell has not taken yet (its add failed, or it was
  // added at an earlier announcement) is added again.
  if (!show_pending_) return;
  record_.uFlags = creation_flags_;
  show_pending_ = shell_(NIM_ADD, &record_) != FALSE;
  // A refused add does not tell that the shell holds no icon of ours: a
  // shell that did not really restart refuses the icon it still shows. Only
  // a successful add changes what RemoveIcon has to delete.
  if (show_pending_) removed_ = false;
}

void CSystemTray::Destroy() {
  RemoveIcon();
  std::unique_ptr<HiddenWindow> window;
  {
    std::lock_guard guard(lock_);
    window = std::move(hidden_);
  }
  window.reset();  // destroys the window
}

void MySystemTray::LoadProgramIcon() {
  if (icon_) return;
  icon_ = LoadTrayIconFile(ProgramFolder() + "\\Brevant.ico");
}

fw::ScopedIcon MySystemTray::LoadTrayIconFile(const std::string& file) {
  // The notification area shows small icons at the screen's DPI.
  return IconFileAt(file, SM_CXSMICON, SM_CYSMICON, fw::SystemDpi());
}

bool MySystemTray::CreateToolIcon() { return Create(TrayTip(), icon_.get(), kToolBalloonSeconds); }

}  // namespace brevant
