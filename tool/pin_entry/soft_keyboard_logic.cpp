#include "soft_keyboard_logic.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "dpi_scale.h"

namespace brevant {
namespace {

constexpr std::uint8_t kSpace = 0x20;

int PunctuationIndex(std::uint8_t virtual_key) {
  for (int i = 0; i < 11; ++i)
    if (kPunctuationOrder[i] == virtual_key) return i;
  return -1;
}

}  // namespace

int RuntimeRand() {
  static const bool seeded = (std::srand(static_cast<unsigned>(std::time(nullptr))), true);
  (void)seeded;
  return std::rand();
}

char Unscramble(char c, const ScrambleOffsets& offsets) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= '0' && u <= '9') return static_cast<char>('0' + ((u - '0') - offsets.digits % 10 + 10) % 10);
  const bool upper = u >= 'A' && u <= 'Z', lower = u >= 'a' && u <= 'z';
  if (!upper && !lower) return c;
  const unsigned char base = upper ? 'A' : 'a';
  return static_cast<char>(base + ((u - base) - offsets.letters % 26 + 26) % 26);
}

std::vector<int> RandomPermutation(int n, const RandomSource& random) {
  std::vector<int> order;
  if (n <= 0) return order;
  order.reserve(n);
  while (static_cast<int>(order.size()) < n) {
    const int value = random() % n;
    if (std::find(order.begin(), order.end(), value) == order.end()) order.push_back(value);
  }
  return order;
}

ScrambledKey ScrambleKey(std::uint8_t virtual_key, const RandomSource& random) {
  ScrambledKey key;
  key.offsets.letters = random() % 25 + 1;
  key.offsets.digits = random() % 9 + 1;
  key.offsets.punctuation = random() % 9 + 1;
  key.virtual_key = virtual_key;
  if (virtual_key >= '0' && virtual_key <= '9') {
    key.virtual_key = static_cast<std::uint8_t>('0' + (virtual_key - '0' + key.offsets.digits) % 10);
  } else if (virtual_key >= 'A' && virtual_key <= 'Z') {
    key.virtual_key = static_cast<std::uint8_t>('A' + (virtual_key - 'A' + key.offsets.letters) % 26);
  } else if (virtual_key == kSpace) {
    key.virtual_key = kPunctuationOrder[random() % 11];
  } else if (const int index = PunctuationIndex(virtual_key); index >= 0) {
    key.offsets.punctuation = random() % 10 + 1;
    key.virtual_key = kPunctuationOrder[(index + key.offsets.punctuation) % 11];
  }
  return key;
}

}  // namespace brevant

namespace brevant {
namespace {

constexpr char kUnshiftedPunctuation[] = "`-=[]\\;',./";
constexpr char kShiftedPunctuation[] = "~_+{}|:\"<>?";
constexpr char kShiftedDigits[] = ")!@#$%^&*(";  // above 0, 1, ..., 9

void AppendEscaped(std::string& caption, char c) {
  caption += c;
  if (c == '&') caption += '&';
}

const char* KeyName(std::uint8_t virtual_key) {
  switch (virtual_key) {
    case 0x08: return "Backspace";
    case 0x09: return "Tab";
    case 0x0D: return "Enter";
    case 0x10: return "Shift";
    case 0x11: return "Ctrl";
    case 0x12: return "Alt";
    case 0x13: return "Pause";
    case 0x14: return "Caps";
    case 0x1B: return "Esc";
    case 0x20: return "";
    case 0x21: return "PgUp";
    case 0x22: return "PgDn";
    case 0x23: return "End";
    case 0x24: return "Home";
    case 0x25: return "<";
    case 0x26: return "^";
    case 0x27: return ">";
    case 0x28: return "v";
    case 0x2D: return "Ins";
    case 0x2E: return "Del";
    case 0x5B: return "Win";
    case 0x5D: return "Menu";
    default: return nullptr;
  }
}

}  // namespace

std::string KeyCaption(std::uint8_t virtual_key, bool upper_case) {
  std::string caption;
  if (virtual_key >= '0' && virtual_key <= '9') {
    caption += static_cast<char>(virtual_key);
    caption += ' ';
    AppendEscaped(caption, kShiftedDigits[virtual_key - '0']);
  } else if (virtual_key >= 'A' && virtual_key <= 'Z') {
    caption += static_cast<char>(upper_case ? virtual_key : virtual_key - 'A' + 'a');
  } else if (const int index = PunctuationIndex(virtual_key); index >= 0) {
    caption += kUnshiftedPunctuation[index];
    caption += ' ';
    caption += kShiftedPunctuation[index];
  } else if (virtual_key >= 0x70 && virtual_key <= 0x7B) {
    caption = "F" + std::to_string(virtual_key - 0x70 + 1);
  } else if (const char* name = KeyName(virtual_key)) {
    caption = name;
  }
  return caption;
}

bool SuppressesHook(int hook_type, bool other_thread, unsigned message) {
  constexpr int kMsgFilter = -1, kKeyboard = 2, kGetMessage = 3, kKeyboardLowLevel = 13;
  constexpr unsigned kKeyDown = 0x0100, kKeyUp = 0x0101, kChar = 0x0102;
  if (!other_thread) return false;
  if (hook_type == kKeyboard || hook_type == kKeyboardLowLevel || hook_type == kMsgFilter) return true;
  return hook_type == kGetMessage && (message == kKeyDown || message == kKeyUp || message == kChar);
}

KeyboardPlacement PlaceKeyboard(int dialog_width, int dialog_height, int frame_width, int frame_height,
                                int keyboard_width, int keyboard_height) {
  KeyboardPlacement placement;
  frame_width = std::max(frame_width, 0);
  placement.dialog_width = std::max(dialog_width, keyboard_width + std::max(frame_width, 5));
  placement.dialog_height = dialog_height + keyboard_height;
  placement.keyboard_y = dialog_height - std::max(frame_height, 28);
  placement.keyboard_width = placement.dialog_width - frame_width;
  placement.keyboard_height = keyboard_height;
  return placement;
}

PixelBox TemplateBoxAt(int x, int y, int width, int height, DialogBaseUnits at96, int dpi) {
  // Rounded as the dialog manager maps a template at 96 DPI.
  const auto across = [&](int units) { return fw::ScaleToDpi((units * at96.x + 2) / 4, dpi); };
  const auto down = [&](int units) { return fw::ScaleToDpi((units * at96.y + 4) / 8, dpi); };
  // Both edges from the template, so neighbours keep their gap.
  return {across(x), down(y), across(x + width) - across(x), down(y + height) - down(y)};
}

}  // namespace brevant
