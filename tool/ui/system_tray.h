// The tool's icon in the notification area. The key monitor adds it when the
// first key arrives and deletes it when the last one leaves, on the device
// library's thread; the icon's own hidden window ("TrayIconClass") lives on
// the user-interface thread, so that the shell's restart announcement reaches
// a thread that pumps messages. One lock keeps the record consistent between
// the two. The icon's mouse notifications go to the main window, which
// handles them (its menu, its double click).
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <mutex>
#include <string>

#include "main_window_messages.h"
#include "scoped_gdi.h"

namespace brevant {

inline constexpr UINT kTrayIconId = 167;  // also the id of the icon's menu
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
  bool CreateHiddenWindow();
  // The window that receives the icon's notifications; registered before
  // Create. Without one they go to the hidden window, which ignores them.
  void SetMainWindow(HWND window);

  // Adds the icon with `tooltip` (cut to 127 bytes) and a warning balloon of
  // `balloon_seconds`. False when the shell refused the icon; it is then
  // added when the shell announces a restart.
  bool Create(const char* tooltip, HICON icon, UINT balloon_seconds);
  // Deletes the icon; true when it is gone (also when it already was).
  bool RemoveIcon();
  // Program end, on the hidden window's thread: the icon and the window go.
  void Destroy();

  HWND hidden_window() const;
  static UINT TaskbarCreatedMessage();
  void SetShellForTesting(ShellRequest request) { shell_ = request; }

 private:
  class HiddenWindow;
  friend class HiddenWindow;

  void OnTaskbarCreated();

  mutable std::mutex lock_;
  NOTIFYICONDATAA record_{};
  std::unique_ptr<HiddenWindow> hidden_;
  HWND main_window_ = nullptr;
  bool removed_ = true;
  bool show_pending_ = false;
  UINT creation_flags_ = 0;
  ShellRequest shell_ = &Shell_NotifyIconA;
};

// The tool's own icon: Brevant.ico from the program folder, the tip of the
// language file (TOOL_SYSTRAY_TIP, else the title), a ten-second balloon.
class MySystemTray : public CSystemTray {
 public:
  // Reads the icon file once, at the small-icon size of the screen's DPI;
  // it is kept while the object lives.
  void LoadProgramIcon();
  bool CreateToolIcon();
  // An icon file at the tray's size (the small-icon size of the screen's
  // DPI); null when it cannot be read.
  static fw::ScopedIcon LoadTrayIconFile(const std::string& file);

 private:
  fw::ScopedIcon icon_;
};

}  // namespace brevant
