// What the PIN and label dialogs need from the main window: the window to
// own them, the registry of open dialogs (pulling the key out closes
// them), the key tree.
#pragma once
#include <windows.h>

#include <string>

namespace brevant {

class KeyDialogHost {
 public:
  virtual ~KeyDialogHost() = default;
  virtual HWND HostWindow() const = 0;
  virtual void RegisterOpenDialog(const std::string& reader, HWND dialog) = 0;
  virtual void UnregisterOpenDialog(HWND dialog) = 0;
  virtual void RefreshKeys() = 0;
};

}  // namespace brevant
