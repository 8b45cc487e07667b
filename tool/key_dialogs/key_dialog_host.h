// What the PIN, label and key information dialogs need from the main
// window: the window to own them, the registry of open dialogs (pulling the
// key out closes them), the key tree.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

namespace brevant {

class KeyDialogHost {
 public:
  virtual ~KeyDialogHost() = default;
  virtual HWND HostWindow() const = 0;
  virtual void RegisterOpenDialog(const std::string& reader, HWND dialog) = 0;
  virtual void UnregisterOpenDialog(HWND dialog) = 0;
  virtual void RefreshKeys() = 0;
};

// The result of a key's dialog closed because its key went: the main window
// posts WM_SYSCOMMAND/SC_CLOSE with this lParam to each of them.
inline constexpr INT_PTR kClosedByRemoval = 100;

// A key's dialog registered with the main window while it is shown, under
// the key's reader name; it ends with kClosedByRemoval when its key goes.
template <typename Base>
class RegisteredDialog : public Base {
 public:
  template <typename... Args>
  RegisteredDialog(KeyDialogHost& host, std::string reader, Args&&... args)
      : Base(std::forward<Args>(args)...), host_(host), reader_(std::move(reader)) {}

 protected:
  bool OnInitDialog() override {
    const bool result = Base::OnInitDialog();
    host_.RegisterOpenDialog(reader_, this->hwnd());
    return result;
  }
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override {
    if (message == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_CLOSE && lparam == kClosedByRemoval) {
      this->EndDialog(kClosedByRemoval);
      result = 0;
      return true;
    }
    if (message == WM_DESTROY) host_.UnregisterOpenDialog(this->hwnd());
    return Base::OnMessage(message, wparam, lparam, result);
  }

 private:
  KeyDialogHost& host_;
  std::string reader_;
};

}  // namespace brevant
