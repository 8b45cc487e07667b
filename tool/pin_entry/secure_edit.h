// A PIN field: an edit control that shows only "*" and keeps the typed
// characters XOR-masked with 32 random bytes of its own. Characters that the
// soft keyboard sent scrambled are turned back on arrival.
#pragma once
#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "pin_strength.h"
#include "soft_keyboard_logic.h"
#include "tk_defs.h"
#include "window.h"

namespace brevant {

// The offsets of the key the soft keyboard sent last; valid for one
// keystroke.
ScrambleOffsets& CurrentScrambleOffsets();
inline void ClearScrambleOffsets() { CurrentScrambleOffsets() = ScrambleOffsets(); }

class CSecureEditEx : public fw::Window {
 public:
  static constexpr std::size_t kMaxCharacters = kLongestPin;

  CSecureEditEx() = default;
  ~CSecureEditEx() override;  // wipes the masked characters

  // Takes over an edit control of a dialog (call once, in OnInitDialog).
  bool SubclassEdit(HWND edit);
  // True for the window of a PIN field, which turns scrambled keys back.
  static bool IsPinField(HWND window);
  // Empties the field and draws a new mask (each byte the low byte of
  // rand()).
  void Clear();
  // Count and masked characters into `record`'s count and data area, and
  // the 32 mask bytes into its mask area; the rest of the record is zeroed
  // first.
  void ExportMasked(tk::PinTransferRecord& record) const;
  void ExportMask(std::uint8_t (&mask)[kPinFieldMaskSize]) const;
  PinAnalysis Analyse() const;
  std::size_t count() const { return count_; }
  // Set by every change since the last Clear.
  bool edited() const { return edited_; }

 protected:
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) override;
  bool OnReflectedCommand(int code) override;

 private:
  void OnTextChanged();
  void Insert(std::size_t position, const char* characters, std::size_t count);
  void Remove(std::size_t position, std::size_t count);
  void ShowStars(std::size_t caret);
  bool DefaultSelectingNothing(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result);
  std::pair<DWORD, DWORD> Selection() const;  // start, end
  void CollapseSelection();

  std::vector<std::uint8_t> masked_;
  std::uint8_t mask_[kPinFieldMaskSize] = {};
  std::size_t count_ = 0;
  bool active_ = false;
  bool edited_ = false;
};

}  // namespace brevant
