// The tool's icon in the notification area. The key monitor adds it when the
// first key arrives and deletes it when the last one leaves, on the device
// library's thread; the icon's own hidden window ("TrayIconClass") lives on
// the user-interface thread, so that the shell's restart announcement reaches
// a thread that pumps messages. One lock keeps the record consistent between
// the two.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace brevant {

inline constexpr UINT kTrayIconId = 167;  // also the id of the icon's menu
inline constexpr UINT kTrayCallbackMessage = WM_USER + 100;
inline constexpr wchar_t kTrayWindowClass[] = L"TrayIconClass";

class CSystemTray {
 public:
  // How requests reach the shell; tests put a recorder in its place.
  using ShellRequest = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA record);

  CSystemTray();
  CSystemTray(const CSystemTray&) = delete;
  CSystemTray& operator=(const CSystemTray&) = delete;
  // Deletes the icon; the hidden window must already be gone (see Destroy).
  virtual ~CSystemTray();

  // Makes the hidden window on the calling thread, which must pump messages.
  // Create makes it where it is called when this was not done.
  bool CreateHiddenWindow(HINSTANCE instance);
  // The window that receives the icon's notifications instead of the hidden
  // one; registered before Create.
  void SetMainWindow(HWND window);

  // Adds the icon with `tooltip` (cut to 127 bytes). False when the platform
  // has no notification area or the shell refused the icon; in the latter
  // case it is added when the shell announces a restart.
  bool Create(HINSTANCE instance, const char* tooltip, HICON icon, UINT balloon_seconds);
  bool SetDefaultItem(UINT item, bool by_position);
  void SetTargetWindow(HWND window);
  // Deletes the icon; true when it is gone (also when it already was).
  bool RemoveIcon();
  // Program end, on the hidden window's thread: the icon and the window go.
  void Destroy();

  // The icon's callback message as the hidden window receives it.
  virtual LRESULT HandleNotification(WPARAM wparam, LPARAM lparam);
  // Called on the popup menu before it is shown.
  virtual void AdjustMenu(HMENU /*menu*/) {}

  HWND hidden_window() const;
  HWND record_window() const;
  static UINT TaskbarCreatedMessage();
  void SetShellForTesting(ShellRequest request) { shell_ = request; }

 protected:
  HINSTANCE instance() const { return instance_; }

 private:
  class HiddenWindow;
  friend class HiddenWindow;

  void OnTaskbarCreated();
  // The default item's command id: the item itself, or the id at that
  // position of the menu; nothing when the menu cannot be loaded.
  std::optional<UINT> DefaultCommand(UINT item, bool by_position) const;
  HMENU LoadTrayMenu(HMENU& popup) const;

  mutable std::mutex lock_;
  NOTIFYICONDATAA record_{};
  HINSTANCE instance_ = nullptr;
  std::unique_ptr<HiddenWindow> hidden_;
  HWND main_window_ = nullptr;
  HWND target_window_ = nullptr;
  bool enabled_ = false;
  bool hidden_icon_ = true;
  bool removed_ = true;
  bool show_pending_ = false;
  bool balloon_capable_ = false;
  UINT default_item_ = 0;
  bool default_by_position_ = false;
  UINT creation_flags_ = 0;
  ShellRequest shell_ = &Shell_NotifyIconA;
};

// The tool's icon: the menu's default item carries a text of the program's
// string table.
class MySystemTray : public CSystemTray {
 public:
  inline static constexpr UINT kDefaultItemTextId = 201;
  // Read after a successful Create.
  void LoadDefaultItemText();
  void AdjustMenu(HMENU menu) override;

 private:
  std::string default_item_text_;
};

}  // namespace brevant
