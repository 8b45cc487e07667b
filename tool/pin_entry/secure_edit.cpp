#include "secure_edit.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "secret_buffer.h"
#include "soft_keyboard.h"

namespace brevant {
namespace {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool KeyDown(int key) { return GetKeyState(key) < 0; }

int RandomByte() { return RuntimeRand() & 0xFF; }

}  // namespace

ScrambleOffsets& CurrentScrambleOffsets() {
  static ScrambleOffsets offsets;
  return offsets;
}

CSecureEditEx::~CSecureEditEx() {
  tk::SecureWipe(masked_.data(), masked_.size());
  tk::SecureWipe(mask_, sizeof mask_);
}

bool CSecureEditEx::IsPinField(HWND window) {
  return window != nullptr && dynamic_cast<CSecureEditEx*>(fw::Window::FromHandle(window)) != nullptr;
}

bool CSecureEditEx::SubclassEdit(HWND edit) {
  if (!Subclass(edit)) return false;
  active_ = true;
  return true;
}

void CSecureEditEx::Clear() {
  tk::SecureWipe(masked_.data(), masked_.size());
  masked_.clear();
  count_ = 0;
  for (std::uint8_t& byte : mask_) byte = static_cast<std::uint8_t>(RandomByte());
  edited_ = false;
  if (hwnd() != nullptr) ShowStars(0);
}

void CSecureEditEx::ExportMasked(tk::PinTransferRecord& record) const {
  tk::SecureWipe(&record, sizeof record);
  record.count = static_cast<std::uint32_t>(count_);
  std::memcpy(record.data, masked_.data(), std::min<std::size_t>(count_, sizeof record.data));
  std::memcpy(record.mask, mask_, sizeof mask_);
}

void CSecureEditEx::ExportMask(std::uint8_t (&mask)[kPinFieldMaskSize]) const { std::memcpy(mask, mask_, sizeof mask); }

PinAnalysis CSecureEditEx::Analyse() const { return AnalyseMaskedPin(masked_.data(), count_, mask_); }

// The characters after `position` move on by `count`; each is unmasked and
// masked again on its own, so the PIN is never whole in plain form.
void CSecureEditEx::Insert(std::size_t position, const char* characters, std::size_t count) {
  position = std::min(position, count_);
  count = std::min(count, kMaxCharacters - std::min(count_, kMaxCharacters));
  if (count == 0) return;
  masked_.resize(count_ + count);
  for (std::size_t i = count_; i-- > position;) {
    const std::uint8_t plain = masked_[i] ^ mask_[i % kPinFieldMaskSize];
    masked_[i + count] = plain ^ mask_[(i + count) % kPinFieldMaskSize];
  }
  for (std::size_t i = 0; i < count; ++i)
    masked_[position + i] = static_cast<std::uint8_t>(characters[i]) ^ mask_[(position + i) % kPinFieldMaskSize];
  count_ += count;
}

void CSecureEditEx::Remove(std::size_t position, std::size_t count) {
  if (position >= count_) return;
  count = std::min(count, count_ - position);
  for (std::size_t i = position + count; i < count_; ++i) {
    const std::uint8_t plain = masked_[i] ^ mask_[i % kPinFieldMaskSize];
    masked_[i - count] = plain ^ mask_[(i - count) % kPinFieldMaskSize];
  }
  tk::SecureWipe(masked_.data() + count_ - count, count);
  count_ -= count;
  masked_.resize(count_);
}

void CSecureEditEx::ShowStars(std::size_t caret) {
  active_ = false;  // our own text is no change
  SetWindowTextA(hwnd(), std::string(count_, '*').c_str());
  active_ = true;
  const LPARAM at = static_cast<LPARAM>(std::min(caret, count_));
  SendMessageW(hwnd(), EM_SETSEL, at, at);
  SendMessageW(hwnd(), EM_SCROLLCARET, 0, 0);
}

// The field shows one star per stored character and lets nothing else be
// typed, so whatever is not a star just came in, and the stars either side
// of it are the characters that stayed: those gone were where the new ones
// are now (a selection typed over). Only when nothing came in were they
// removed at the caret (Backspace, Delete). The length and the caret alone
// cannot tell a selection typed over from a deletion.
void CSecureEditEx::OnTextChanged() {
  tk::SecretBuffer<kMaxCharacters + 64> text;
  char* buffer = reinterpret_cast<char*>(text.data());
  const int read = GetWindowTextA(hwnd(), buffer, static_cast<int>(text.capacity()));
  std::size_t caret = count_;
  // A text that may not have fitted is nobody's typing: the PIN stays.
  if (read >= 0 && static_cast<std::size_t>(read) + 1 < text.capacity()) {
    const std::size_t now = static_cast<std::size_t>(read);
    std::size_t first = now, last = 0;
    for (std::size_t i = 0; i < now; ++i) {
      if (buffer[i] == '*') continue;
      first = std::min(first, i);
      last = i + 1;
    }
    if (first < last) {
      const std::size_t stayed = first + (now - last);
      Remove(first, count_ - std::min(count_, stayed));
      // Only digits and letters are kept, whatever way the text came (a
      // WM_SETTEXT or EM_REPLACESEL from outside bypasses the typing filter).
      const ScrambleOffsets offsets = CurrentScrambleOffsets();
      std::size_t kept = 0;
      for (std::size_t i = first; i < last; ++i) {
        const char c = Unscramble(buffer[i], offsets);
        if (IsDigit(static_cast<unsigned char>(c)) || IsLetter(static_cast<unsigned char>(c)))
          buffer[first + kept++] = c;
      }
      const std::size_t before = count_;
      Insert(first, buffer + first, kept);
      caret = std::min(first, before) + (count_ - before);
    } else {
      caret = std::min<std::size_t>(Selection().first, now);
      if (now < count_) Remove(caret, count_ - now);
    }
  }
  // `text` wipes itself.
  ClearScrambleOffsets();
  edited_ = true;
  ShowStars(caret);
}

std::pair<DWORD, DWORD> CSecureEditEx::Selection() const {
  DWORD start = 0, end = 0;
  SendMessageW(hwnd(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return {start, end};
}

void CSecureEditEx::CollapseSelection() {
  const auto [start, end] = Selection();
  if (start != end) SendMessageW(hwnd(), EM_SETSEL, start, start);
}

// Keys and the mouse move the caret but select nothing (Shift with an arrow
// or a click, a drag, a double click): a selection they made goes again at once. The
// one the dialog makes when Tab brings the focus here stays, through the
// keys' release and the mouse passing over, so that what is typed next
// replaces the PIN as in any other field.
bool CSecureEditEx::DefaultSelectingNothing(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  const auto before = Selection();
  result = DefaultHandling(message, wparam, lparam);
  if (hwnd() != nullptr && Selection() != before) CollapseSelection();
  return true;
}

bool CSecureEditEx::OnReflectedCommand(int code) {
  if (code == EN_UPDATE && active_) OnTextChanged();
  return false;  // the dialog sees EN_CHANGE as usual
}

bool CSecureEditEx::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  switch (message) {
    case WM_CHAR: {
      const unsigned char c = static_cast<unsigned char>(wparam);
      // A full field still takes a character that replaces a selection.
      const auto [start, end] = Selection();
      const bool room = count_ < kMaxCharacters || start != end;
      const bool wanted = c == VK_BACK || ((IsDigit(c) || IsLetter(c)) && room);
      if (wanted && !KeyDown(VK_CONTROL)) return false;
      // A dropped key changes nothing, so its offsets must not outlive it.
      ClearScrambleOffsets();
      result = 0;
      return true;
    }
    case WM_KEYDOWN:
      if (KeyDown(VK_CONTROL)) {
        result = 0;
        return true;  // no copy, cut, paste or select-all
      }
      // The edit control pastes on Shift+Insert and cuts on Shift+Delete by
      // itself, without a WM_PASTE or WM_CUT to refuse; the soft keyboard's
      // Shift and Ins keys arrive the same way.
      if (KeyDown(VK_SHIFT) && (wparam == VK_INSERT || wparam == VK_DELETE)) {
        result = 0;
        return true;
      }
      if (KeyDown(VK_SHIFT) && (wparam == VK_HOME || wparam == VK_END)) {
        Remove(0, count_);
        edited_ = true;
        ShowStars(0);
        SendMessageW(GetParent(hwnd()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd()), EN_CHANGE),
                     reinterpret_cast<LPARAM>(hwnd()));
        result = 0;
        return true;
      }
      return DefaultSelectingNothing(message, wparam, lparam, result);
    case WM_PASTE:
    case WM_CUT:
    case WM_COPY:
    case WM_CLEAR:
    case WM_UNDO:
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
      result = 0;
      return true;
    case WM_DEADCHAR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:  // with Shift it selects
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      return DefaultSelectingNothing(message, wparam, lparam, result);
    case WM_SETFOCUS:
      ClearScrambleOffsets();
      SetSoftKeyboardTarget(hwnd());
      return false;
    case WM_KILLFOCUS:
      ClearScrambleOffsets();
      RemoveKeyboardDebugHook();
      return false;
    default:
      return false;
  }
}

}  // namespace brevant
