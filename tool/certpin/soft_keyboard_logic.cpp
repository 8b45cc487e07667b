#include "soft_keyboard_logic.h"

#include <algorithm>

namespace brevant {
namespace {

constexpr std::uint8_t kSpace = 0x20;

int PunctuationIndex(std::uint8_t virtual_key) {
  for (int i = 0; i < 11; ++i)
    if (kPunctuationOrder[i] == virtual_key) return i;
  return -1;
}

}  // namespace

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
