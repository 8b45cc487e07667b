#include "soft_keyboard.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <string>
#include <utility>

#include "cached_texts.h"
#include "dialog.h"
#include "dpi.h"
#include "language.h"
#include "scoped_gdi.h"
#include "secure_edit.h"
#include "soft_keyboard_key.h"
#include "soft_keyboard_keys.h"
#include "soft_keyboard_logic.h"

namespace brevant {
namespace {

constexpr UINT kShowHideCommand = 301;
constexpr DWORD kKeyPauseMs = 10;

bool SystemCapsLock() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

int KeyIndexOf(int id) {
  for (int i = 0; i < kSoftKeyCount; ++i)
    if (kSoftKeys[i].id == id) return i;
  return -1;
}

// A key-down event, a pause, a key-up event, a pause.
void TapKey(std::uint8_t virtual_key) {
  const BYTE scan = static_cast<BYTE>(MapVirtualKeyA(virtual_key, 0));
  keybd_event(virtual_key, scan, 0, 0);
  Sleep(kKeyPauseMs);
  keybd_event(virtual_key, scan, KEYEVENTF_KEYUP, 0);
  Sleep(kKeyPauseMs);
}

class CSoftKeyboard;

// Process-wide: one keyboard at a time.
struct KeyboardState {
  CSoftKeyboard* keyboard = nullptr;  // owns itself; deleted with its window
  HWND dialog = nullptr;              // the PIN dialog holding it
  RECT dialog_rect = {};              // that dialog before it grew
  HWND target = nullptr;              // the PIN field the keys go to
  bool shift = false, ctrl = false, alt = false;  // latched
  bool caps_lock = false;
  bool physical_shift = false;
  fw::ScopedHook low_level_hook;
  fw::ScopedHook debug_hook;
};

KeyboardState& State() {
  static KeyboardState state;
  return state;
}

LRESULT CALLBACK DebugHookProc(int code, WPARAM hook_type, LPARAM lparam) {
  if (code == HC_ACTION && lparam != 0) {
    const auto* info = reinterpret_cast<const DEBUGHOOKINFO*>(lparam);
    UINT message = 0;
    if (static_cast<int>(hook_type) == WH_GETMESSAGE && info->lParam != 0)
      message = reinterpret_cast<const MSG*>(info->lParam)->message;
    if (SuppressesHook(static_cast<int>(hook_type), info->idThread != GetCurrentThreadId(), message)) return 1;
  }
  return CallNextHookEx(nullptr, code, hook_type, lparam);
}

void InstallDebugHook() {
  KeyboardState& state = State();
  if (!state.debug_hook)
    state.debug_hook.reset(SetWindowsHookExA(WH_DEBUG, &DebugHookProc, nullptr, GetCurrentThreadId()));
}

LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wparam, LPARAM lparam);

class CSoftKeyboard : public fw::Dialog {
 public:
  CSoftKeyboard() : fw::Dialog(kSoftKeyboardDialog) {}

  void RefreshCaptions();
  // The physical keyboard, seen by the low-level hook.
  void OnPhysicalKey(DWORD virtual_key, bool down);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  void OnOK() override {}
  void OnCancel() override { CloseSoftKeyboard(); }
  void OnFinalMessage() override;

 private:
  void LayOutAtDpi();
  void Shuffle();
  void OnKeyClicked(int index);
  void SendScrambled(std::uint8_t virtual_key);
  void ReleaseModifiers();
  void SetShowHideItem(bool shown);
  std::string Title() const;

  SoftKeyLook look_;
  CSoftKeyButton keys_[kSoftKeyCount];
  std::uint8_t assigned_[kSoftKeyCount] = {};  // the virtual key each key sends now
};

LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wparam, LPARAM lparam) {
  KeyboardState& state = State();
  if (code == HC_ACTION && lparam != 0 && state.keyboard != nullptr) {
    const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lparam);
    // Our own keys are already reflected in the captions.
    if ((info->flags & LLKHF_INJECTED) == 0)
      state.keyboard->OnPhysicalKey(info->vkCode, wparam == WM_KEYDOWN || wparam == WM_SYSKEYDOWN);
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Back to the PIN field, so that the next key goes there. A click also
// brings the dialog forward; a mere mouse move over the keyboard does not.
void GiveFocusBack(bool bring_forward = true) {
  const KeyboardState& state = State();
  if (state.target == nullptr || !IsWindow(state.target)) return;
  if (state.dialog != nullptr && GetForegroundWindow() != state.dialog) {
    if (!bring_forward) return;
    SetForegroundWindow(state.dialog);
  }
  if (GetFocus() != state.target) SetFocus(state.target);
}

bool CSoftKeyboard::OnInitDialog() {
  KeyboardState& state = State();
  state.caps_lock = SystemCapsLock();
  SetText(Title());
  LayOutAtDpi();
  look_.SetFonts(hwnd());
  Shuffle();
  for (int i = 0; i < kSoftKeyCount; ++i) {
    keys_[i].TakeOver(Item(kSoftKeys[i].id), look_, [this](int id) {
      GiveFocusBack();
      SendMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
    });
  }
  RefreshCaptions();
  if (HMENU menu = GetSystemMenu(hwnd(), FALSE)) {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, kShowHideCommand, "");
    SetShowHideItem(true);
  }
  state.low_level_hook.reset(SetWindowsHookExA(WH_KEYBOARD_LL, &LowLevelKeyboardProc, GetModuleHandleA(nullptr), 0));
  InstallDebugHook();
  return false;  // the focus stays in the PIN field
}

namespace {

// The base units of the keyboard's font as it is at 96 DPI: the average
// width of the letters and the font's height, as the dialog manager
// measures them.
DialogBaseUnits BaseUnitsAt96(HWND keyboard) {
  const auto font = reinterpret_cast<HFONT>(SendMessageW(keyboard, WM_GETFONT, 0, 0));
  LOGFONTW description = {};
  if (font == nullptr || GetObjectW(font, sizeof description, &description) == 0) return {};
  description.lfHeight = MulDiv(description.lfHeight, fw::kDefaultDpi, fw::WindowDpi(keyboard));
  const fw::ScopedGdiObject font96(CreateFontIndirectW(&description));
  const fw::WindowDc screen(nullptr);
  if (!font96 || !screen) return {};
  const fw::SavedDcState saved(screen.get());
  SelectObject(screen.get(), font96.get());
  TEXTMETRICW metrics = {};
  SIZE letters = {};
  static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  if (!GetTextMetricsW(screen.get(), &metrics) ||
      !GetTextExtentPoint32W(screen.get(), kLetters, static_cast<int>(std::size(kLetters)) - 1, &letters))
    return {};
  return {(letters.cx / 26 + 1) / 2, metrics.tmHeight};
}

}  // namespace

// The keys and the keyboard's size from the template, at the keyboard's DPI
// by the 96-DPI pixels (at 96 DPI: where the dialog manager put them).
void CSoftKeyboard::LayOutAtDpi() {
  const DialogBaseUnits at96 = BaseUnitsAt96(hwnd());
  if (at96.x <= 0 || at96.y <= 0) return;  // the template's own layout stays
  const int dpi = fw::WindowDpi(hwnd());
  for (const SoftKey& key : kSoftKeys) {
    const PixelBox box = TemplateBoxAt(key.x, key.y, key.width, key.height, at96, dpi);
    SetWindowPos(Item(key.id), nullptr, box.x, box.y, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const PixelBox client = TemplateBoxAt(0, 0, kSoftKeyboardWidth, kSoftKeyboardHeight, at96, dpi);
  RECT window = {0, 0, client.width, client.height};
  AdjustWindowRectEx(&window, static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_EXSTYLE)));
  SetWindowPos(hwnd(), nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string CSoftKeyboard::Title() const {
  return std::string(CachedText("TOOL_TITLE")) + " - " + LngText("TOOL", "DLG_SOFT_KEY");
}

void CSoftKeyboard::SetShowHideItem(bool shown) {
  HMENU menu = GetSystemMenu(hwnd(), FALSE);
  if (menu == nullptr) return;
  const std::string text = (shown ? "Hide &" : "Show &") + Title();
  ModifyMenuA(menu, kShowHideCommand, MF_BYCOMMAND | MF_STRING, kShowHideCommand, text.c_str());
}

void CSoftKeyboard::Shuffle() {
  for (int i = 0; i < kSoftKeyCount; ++i) assigned_[i] = kSoftKeys[i].virtual_key;
  const RandomSource random = &RuntimeRand;
  const std::vector<int> digits = RandomPermutation(10, random);
  for (int k = 0; k < 10; ++k) assigned_[kFirstDigitKey + k] = static_cast<std::uint8_t>('0' + digits[k]);
  const std::vector<int> letters = RandomPermutation(26, random);
  for (int k = 0; k < 26; ++k) assigned_[kFirstLetterKey + k] = static_cast<std::uint8_t>('A' + letters[k]);
}

void CSoftKeyboard::RefreshCaptions() {
  const KeyboardState& state = State();
  const bool upper = state.caps_lock != (state.shift || state.physical_shift);
  for (int i = 0; i < kSoftKeyCount; ++i) {
    const int id = kSoftKeys[i].id;
    std::string caption;
    if (id == kQuitKeyId) caption = CachedText("KEY_QUIT");
    else if (assigned_[i] == VK_BACK) caption = CachedText("KEY_BACKSPACE");
    else if (id == kCapsLockKeyId) caption = CachedText(state.caps_lock ? "KEY_CAPITAL_LOW" : "KEY_CAPITAL_UP");
    if (caption.empty()) caption = KeyCaption(assigned_[i], upper);
    keys_[i].SetCaption(caption);
  }
  keys_[KeyIndexOf(kShiftKeyId)].SetLatched(state.shift);
  keys_[KeyIndexOf(kCtrlKeyId)].SetLatched(state.ctrl);
  keys_[KeyIndexOf(kAltKeyId)].SetLatched(state.alt);
}

void CSoftKeyboard::OnPhysicalKey(DWORD virtual_key, bool down) {
  KeyboardState& state = State();
  switch (virtual_key) {
    case VK_CAPITAL:
      if (!down) return;
      state.caps_lock = !state.caps_lock;
      break;
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT:
      if (state.physical_shift == down) return;
      state.physical_shift = down;
      break;
    case VK_TAB:
      if (!down) return;
      break;
    default:
      return;
  }
  RefreshCaptions();
}

bool CSoftKeyboard::OnCommand(int id, int code, HWND control) {
  const int index = KeyIndexOf(id);
  if (index < 0 || code != BN_CLICKED) return fw::Dialog::OnCommand(id, code, control);
  OnKeyClicked(index);
  return true;
}

void CSoftKeyboard::OnKeyClicked(int index) {
  KeyboardState& state = State();
  // Caps Lock changed behind our back: catch up, and let the user look again.
  if (state.caps_lock != SystemCapsLock()) {
    state.caps_lock = SystemCapsLock();
    RefreshCaptions();
    return;
  }
  // Shift, Ctrl and Alt latch (or unlatch) for the next key.
  const std::pair<int, bool KeyboardState::*> latches[] = {
      {kShiftKeyId, &KeyboardState::shift}, {kCtrlKeyId, &KeyboardState::ctrl}, {kAltKeyId, &KeyboardState::alt}};
  for (const auto& [id, flag] : latches) {
    if (kSoftKeys[index].id != id) continue;
    state.*flag = !(state.*flag);
    RefreshCaptions();
    return;
  }
  switch (kSoftKeys[index].id) {
    case kQuitKeyId:
      GiveFocusBack();
      CloseSoftKeyboard();
      return;
    case kTabKeyId:
      RefreshCaptions();
      return;
    case kCapsLockKeyId:
      state.shift = false;
      state.caps_lock = !state.caps_lock;
      RefreshCaptions();
      break;
    default:
      break;
  }
  SendScrambled(assigned_[index]);
}

void CSoftKeyboard::SendScrambled(std::uint8_t virtual_key) {
  KeyboardState& state = State();
  GiveFocusBack();
  if (state.shift) keybd_event(VK_SHIFT, 0, 0, 0);
  if (state.ctrl) keybd_event(VK_CONTROL, 0, 0, 0);
  if (state.alt) keybd_event(VK_MENU, 0, 0, 0);
  // Only a PIN field turns keys back; a plain field (the label) gets the
  // key itself, or it would keep characters the user did not type.
  const ScrambledKey sent = CSecureEditEx::IsPinField(state.target) ? ScrambleKey(virtual_key, &RuntimeRand)
                                                                    : ScrambledKey{virtual_key, ScrambleOffsets()};
  // Only digits and letters come back through the PIN field; after any other
  // key the next physical key must not be turned back.
  const bool turned_back = (sent.virtual_key >= '0' && sent.virtual_key <= '9') ||
                           (sent.virtual_key >= 'A' && sent.virtual_key <= 'Z');
  CurrentScrambleOffsets() = turned_back ? sent.offsets : ScrambleOffsets();
  TapKey(sent.virtual_key);
  ReleaseModifiers();
}

void CSoftKeyboard::ReleaseModifiers() {
  KeyboardState& state = State();
  if (state.shift) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
  if (state.ctrl) keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
  if (state.alt) keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
  state.shift = state.ctrl = state.alt = false;
  RefreshCaptions();
}

bool CSoftKeyboard::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_MOUSEMOVE:
      GiveFocusBack(false);
      result = 0;
      return true;
    case WM_RBUTTONDOWN:
      GiveFocusBack();
      result = 0;
      return true;
    case WM_SYSCOMMAND:
      if (wparam == kShowHideCommand) {
        const bool show = IsIconic(hwnd()) != FALSE;
        ShowWindow(hwnd(), show ? SW_RESTORE : SW_MINIMIZE);
        SetShowHideItem(show);
        result = 0;
        return true;
      }
      if ((wparam & 0xFFF0) == SC_MINIMIZE) SetShowHideItem(false);
      if ((wparam & 0xFFF0) == SC_RESTORE) SetShowHideItem(true);
      return false;
    case WM_CLOSE:
      CloseSoftKeyboard();
      result = 0;
      return true;
    case WM_DESTROY: {
      KeyboardState& state = State();
      state.shift = state.ctrl = state.alt = false;
      state.dialog = nullptr;
      state.low_level_hook.reset();
      RemoveKeyboardDebugHook();
      return false;
    }
    default:
      return fw::Dialog::OnMessage(message, wparam, lparam, result);
  }
}

void CSoftKeyboard::OnFinalMessage() {
  KeyboardState& state = State();
  if (state.keyboard == this) state.keyboard = nullptr;
  delete this;
}

}  // namespace

HWND SoftKeyboardWindow() {
  const KeyboardState& state = State();
  return state.keyboard != nullptr ? state.keyboard->hwnd() : nullptr;
}

void SetSoftKeyboardTarget(HWND field) {
  State().target = field;
  if (SoftKeyboardWindow() != nullptr) InstallDebugHook();
}

void RemoveKeyboardDebugHook() { State().debug_hook.reset(); }

void CloseSoftKeyboard() {
  const KeyboardState& state = State();
  const HWND keyboard = SoftKeyboardWindow();
  if (keyboard == nullptr) return;
  if (state.dialog != nullptr && IsWindow(state.dialog)) {
    const RECT& rect = state.dialog_rect;
    SetWindowPos(state.dialog, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  DestroyWindow(keyboard);  // its last message deletes it
}

namespace {

// Where a dialog grown to `width` x `height` from `place` stays whole on its
// screen: moved left or up only as far as it must.
POINT CornerInsideWorkArea(HWND dialog, const RECT& place, int width, int height) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor)) return {place.left, place.top};
  const RECT& work = monitor.rcWork;
  return {std::max(std::min<LONG>(place.left, work.right - width), work.left),
          std::max(std::min<LONG>(place.top, work.bottom - height), work.top)};
}

}  // namespace

bool ToggleSoftKeyboard(HWND dialog, HWND target) {
  KeyboardState& state = State();
  if (SoftKeyboardWindow() != nullptr) {
    CloseSoftKeyboard();
    if (target != nullptr) SetFocus(target);
    return false;
  }
  if (dialog == nullptr) return false;
  GetWindowRect(dialog, &state.dialog_rect);
  auto* keyboard = new CSoftKeyboard();
  state.keyboard = keyboard;
  state.dialog = dialog;
  if (!keyboard->CreateModeless(dialog)) {
    state.keyboard = nullptr;
    state.dialog = nullptr;
    delete keyboard;
    return false;
  }
  state.target = target;
  if (target != nullptr) SetFocus(target);
  RECT keyboard_rect = {};
  GetWindowRect(keyboard->hwnd(), &keyboard_rect);
  RECT client = {};
  GetClientRect(dialog, &client);
  const RECT& rect = state.dialog_rect;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const KeyboardPlacement place =
      PlaceKeyboard(width, height, width - client.right, height - client.bottom,
                    keyboard_rect.right - keyboard_rect.left, keyboard_rect.bottom - keyboard_rect.top);
  const POINT corner = CornerInsideWorkArea(dialog, rect, place.dialog_width, place.dialog_height);
  SetWindowPos(dialog, nullptr, corner.x, corner.y, place.dialog_width, place.dialog_height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(keyboard->hwnd(), HWND_TOP, place.keyboard_x, place.keyboard_y, place.keyboard_width,
               place.keyboard_height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  return true;
}

}  // namespace brevant
