// Copies of texts into the tool's fixed buffers. Texts are in code page 936,
// where a lead byte 0x81..0xFE and the byte after it form one character: a
// cut never separates the two, so a truncated text still shows whole
// characters and never swallows the terminator into a broken pair.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace brevant {

// A byte that starts a double-byte character of code page 936.
inline bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Length of the longest start of `text` that has at most `max_bytes` bytes
// and ends on a character boundary (a trailing lone lead byte is dropped).
std::size_t CutLength(std::string_view text, std::size_t max_bytes);

// Copies `text` into `buffer` of `size` bytes, cut to fit size - 1 bytes, and
// NUL-terminates it. Returns the bytes copied, terminator not counted.
// A size of 0 writes nothing.
std::size_t CopyCut(char* buffer, std::size_t size, std::string_view text);
template <std::size_t N>
std::size_t CopyCut(char (&buffer)[N], std::string_view text) {
  return CopyCut(buffer, N, text);
}

// `text` as it would be held by a buffer of `buffer_size` bytes.
std::string CutText(std::string_view text, std::size_t buffer_size);

// `text` with its first "%d" replaced by `number` and each "%%" by "%",
// as a format of one number shows it; any other "%" stays as it is.
std::string WithNumber(std::string_view text, long number);

// The settings' decimal conversion: leading blanks, an optional sign, then
// digits; anything else ends the number, no digits give 0. Values beyond the
// range of int are held at its limit rather than wrapping.
int ParseDecimal(std::string_view text);

}  // namespace brevant
