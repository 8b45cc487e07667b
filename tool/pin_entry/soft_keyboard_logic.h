// The soft keyboard's arithmetic: the C runtime's generator, the shuffled
// key orders, and the scrambling of a clicked key that the PIN field undoes
// when the character arrives. Portable.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brevant {

// The offsets the soft keyboard scrambled its last key with; all 0 for keys
// of the physical keyboard.
struct ScrambleOffsets {
  int letters = 0;      // 1..25
  int digits = 0;       // 1..9
  int punctuation = 0;  // 1..10
};

// A character as it arrived, turned back: letters back by the letter offset
// within their case, digits back by the digit offset; others unchanged.
char Unscramble(char c, const ScrambleOffsets& offsets);

// The C runtime's rand(): state * 214013 + 2531011, bits 16..30 of the new
// state. On Windows the keyboard calls the runtime itself; this is the same
// sequence for tests and the host.
class CrtRandom {
 public:
  explicit CrtRandom(std::uint32_t seed) : state_(seed) {}
  int operator()() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }

 private:
  std::uint32_t state_;
};

// A generator with state is passed as std::ref(generator): a function
// object made from the generator itself would hold a copy, and every call
// would start from the same state.
using RandomSource = std::function<int()>;

// The C runtime's rand() (on Windows the generator above), seeded with the
// time in seconds at the first call of the process: seeding at every
// opening would repeat a layout within the same second. A test that wants a
// known sequence calls it once, then seeds the runtime itself.
int RuntimeRand();

// 0..n-1 in a random order: the first value rand() mod n, each further one
// drawn again until it differs from all drawn so far.
std::vector<int> RandomPermutation(int n, const RandomSource& random);

// The punctuation keys in the order the scrambling walks them.
inline constexpr std::uint8_t kPunctuationOrder[11] = {0xC0, 0xBD, 0xBB, 0xDB, 0xDD, 0xDC,
                                                        0xBA, 0xDE, 0xBC, 0xBE, 0xBF};

struct ScrambledKey {
  std::uint8_t virtual_key = 0;  // what is sent
  ScrambleOffsets offsets;       // what the PIN field turns it back by
};

// The key sent for a clicked key: new offsets are drawn (letters rand() mod
// 25 + 1, digits and punctuation rand() mod 9 + 1); a digit goes forward by
// the digit offset, a letter by the letter offset, the space bar becomes a
// random punctuation key, a punctuation key moves on by rand() mod 10 + 1 in
// the punctuation order; any other key is sent as it is.
ScrambledKey ScrambleKey(std::uint8_t virtual_key, const RandomSource& random);

// The caption of a soft keyboard key showing `virtual_key`: a digit with its
// shifted symbol ("1 !"), a letter in upper or lower case, a punctuation key
// with its unshifted and shifted character ("; :"), any other key its short
// name. An "&" is written "&&" so that it is no mnemonic.
std::string KeyCaption(std::uint8_t virtual_key, bool upper_case);

// Whether the keyboard's debug hook keeps a hook of `hook_type` from being
// called: keyboard, low-level keyboard and message-filter hooks of other
// threads always, their get-message hooks for key messages only.
bool SuppressesHook(int hook_type, bool other_thread, unsigned message);

// Where the keyboard goes inside the dialog that opens it (pixels; the
// dialog's window size, `frame_width` and `frame_height` the parts of it
// outside the client area): the dialog as wide as it was or as the keyboard
// plus its frame (at least 5), taller by the keyboard; the keyboard at the
// old height minus 28, or minus the frame's height where that is more (a
// taller caption at a higher DPI), as wide as the dialog's client area, so
// that no key is cut off.
struct KeyboardPlacement {
  int dialog_width = 0, dialog_height = 0;
  int keyboard_x = 0, keyboard_y = 0, keyboard_width = 0, keyboard_height = 0;
};
KeyboardPlacement PlaceKeyboard(int dialog_width, int dialog_height, int frame_width, int frame_height,
                                int keyboard_width, int keyboard_height);

// The keyboard's template in pixels at a DPI: each edge mapped from dialog
// units with the font's base units at 96 DPI (pixels for 4 units across
// and 8 down), as the template is at 96 DPI, then scaled to the DPI. So the
// keyboard grows by the screen's ratio, not by its font's, whose width does
// not follow the DPI exactly.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};
struct PixelBox {
  int x = 0, y = 0, width = 0, height = 0;
};
PixelBox TemplateBoxAt(int x, int y, int width, int height, DialogBaseUnits at96, int dpi);

}  // namespace brevant
