#include "system_tray.h"

#include "scoped_gdi.h"
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

// Notification icons came with major version 4; balloons with NT 5.
bool PlatformHasTray() { return LOBYTE(LOWORD(GetVersion())) >= 4; }
bool PlatformHasBalloons() {
  const DWORD version = GetVersion();
  return (version & 0x80000000u) == 0 && LOBYTE(LOWORD(version)) >= 5;
}

}  // namespace

class CSystemTray::HiddenWindow : public fw::Window {
 public:
  explicit HiddenWindow(CSystemTray& tray) : tray_(tray) {}

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    if (message == TaskbarCreatedMessage()) {
      tray_.OnTaskbarCreated();
      result = 0;
      return true;
    }
    if (message == kTrayCallbackMessage) {
      result = tray_.HandleNotification(wparam, lparam);
      return true;
    }
    return false;
  }

 private:
  CSystemTray& tray_;
};

CSystemTray::CSystemTray() : balloon_capable_(PlatformHasBalloons()) {}

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

bool CSystemTray::CreateHiddenWindow(HINSTANCE instance) {
  std::lock_guard guard(lock_);
  instance_ = instance;
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

HWND CSystemTray::record_window() const {
  std::lock_guard guard(lock_);
  return record_.hWnd;
}

void CSystemTray::SetMainWindow(HWND window) {
  std::lock_guard guard(lock_);
  main_window_ = window;
}

void CSystemTray::SetTargetWindow(HWND window) {
  std::lock_guard guard(lock_);
  target_window_ = window;
}

bool CSystemTray::Create(HINSTANCE instance, const char* tooltip, HICON icon, UINT balloon_seconds) {
  if (!PlatformHasTray()) return false;
  if (hidden_window() == nullptr) CreateHiddenWindow(instance);

  std::lock_guard guard(lock_);
  enabled_ = true;
  instance_ = instance;
  record_ = NOTIFYICONDATAA{};
  record_.cbSize = kRecordSize;
  record_.hWnd = main_window_ != nullptr ? main_window_ : (hidden_ ? hidden_->hwnd() : nullptr);
  record_.uID = kTrayIconId;
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record_.uCallbackMessage = kTrayCallbackMessage;
  record_.hIcon = icon;
  CopyCut(record_.szTip, tooltip != nullptr ? tooltip : "");
  if (balloon_capable_) {
    record_.uFlags |= NIF_INFO;
    record_.uTimeout = balloon_seconds * 1000;
    record_.dwInfoFlags = kWarningBalloon;
  }
  target_window_ = record_.hWnd;
  creation_flags_ = record_.uFlags;
  hidden_icon_ = false;

  const bool added = shell_(NIM_ADD, &record_) != FALSE;
  hidden_icon_ = removed_ = show_pending_ = !added;
  if (balloon_capable_) record_.szInfo[0] = '\0';  // later requests carry no balloon
  return added;
}

bool CSystemTray::RemoveIcon() {
  std::lock_guard guard(lock_);
  show_pending_ = false;
  if (!enabled_ || removed_) return true;
  record_.uFlags = 0;
  if (shell_(NIM_DELETE, &record_)) hidden_icon_ = removed_ = true;
  return removed_;
}

void CSystemTray::OnTaskbarCreated() {
  std::lock_guard guard(lock_);
  // Only an icon the shell has not taken yet (its add failed, or it was
  // added at an earlier announcement) is added again.
  if (!show_pending_) return;
  record_.uFlags = creation_flags_;
  const bool added = shell_(NIM_ADD, &record_) != FALSE;
  hidden_icon_ = !added;
  show_pending_ = added;
  // A refused add does not tell that the shell holds no icon of ours: a
  // shell that did not really restart refuses the icon it still shows. Only
  // a successful add changes what RemoveIcon has to delete.
  if (added) removed_ = false;
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

bool CSystemTray::SetDefaultItem(UINT item, bool by_position) {
  {
    std::lock_guard guard(lock_);
    if (default_item_ == item && default_by_position_ == by_position) return true;
    default_item_ = item;
    default_by_position_ = by_position;
  }
  HMENU popup = nullptr;
  const fw::ScopedMenu menu(LoadTrayMenu(popup));
  if (!menu.valid()) return true;
  if (popup == nullptr) return false;
  SetMenuDefaultItem(popup, item, by_position ? TRUE : FALSE);
  return true;
}

HMENU CSystemTray::LoadTrayMenu(HMENU& popup) const {
  const HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(kTrayIconId));
  popup = menu != nullptr ? GetSubMenu(menu, 0) : nullptr;
  return menu;
}

std::optional<UINT> CSystemTray::DefaultCommand(UINT item, bool by_position) const {
  if (!by_position) return item;
  HMENU popup = nullptr;
  const fw::ScopedMenu menu(LoadTrayMenu(popup));
  if (popup == nullptr) return std::nullopt;
  return GetMenuItemID(popup, static_cast<int>(item));
}

LRESULT CSystemTray::HandleNotification(WPARAM wparam, LPARAM lparam) {
  if (wparam != kTrayIconId) return 0;
  HWND record_window = nullptr, target = nullptr;
  UINT default_item = 0;
  bool by_position = false;
  {
    std::lock_guard guard(lock_);
    record_window = record_.hWnd;
    target = target_window_ != nullptr ? target_window_ : record_window;
    default_item = default_item_;
    by_position = default_by_position_;
  }
  if (target == nullptr) return 0;

  switch (LOWORD(lparam)) {
    case WM_RBUTTONUP: {
      HMENU popup = nullptr;
      const fw::ScopedMenu menu(LoadTrayMenu(popup));
      if (popup == nullptr) return 0;
      SetMenuDefaultItem(popup, default_item, by_position ? TRUE : FALSE);
      AdjustMenu(popup);
      POINT cursor = {};
      GetCursorPos(&cursor);
      SetForegroundWindow(record_window);
      TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, target, nullptr);
      PostMessageW(record_window, WM_NULL, 0, 0);
      return 1;
    }
    case WM_LBUTTONDBLCLK: {
      SetForegroundWindow(record_window);
      const std::optional<UINT> command = DefaultCommand(default_item, by_position);
      if (!command) return 0;
      PostMessageW(target, WM_COMMAND, *command, 0);
      return 1;
    }
    default:
      return 1;
  }
}

void MySystemTray::LoadDefaultItemText() {
  char text[256] = {};
  LoadStringA(instance(), kDefaultItemTextId, text, sizeof text);
  default_item_text_ = text;
}

void MySystemTray::AdjustMenu(HMENU menu) {
  const UINT id = GetMenuDefaultItem(menu, FALSE, GMDI_USEDISABLED);
  ModifyMenuA(menu, 1, MF_BYPOSITION | MF_STRING, id, default_item_text_.c_str());
}

}  // namespace brevant
