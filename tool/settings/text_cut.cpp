#include "text_cut.h"

#include <climits>
#include <cstring>

namespace brevant {

std::size_t CutLength(std::string_view text, std::size_t max_bytes) {
  const std::size_t limit = text.size() < max_bytes ? text.size() : max_bytes;
  std::size_t end = 0;
  while (end < limit) {
    const std::size_t width = IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    // A pair that does not fit, or a lead byte whose trail is missing from
    // the text itself, is left out whole.
    if (end + width > limit) break;
    end += width;
  }
  return end;
}

std::size_t CopyCut(char* buffer, std::size_t size, std::string_view text) {
  if (buffer == nullptr || size == 0) return 0;
  const std::size_t length = CutLength(text, size - 1);
  if (length > 0) std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return length;
}

std::string CutText(std::string_view text, std::size_t buffer_size) {
  if (buffer_size == 0) return {};
  return std::string(text.substr(0, CutLength(text, buffer_size - 1)));
}

std::string WithNumber(std::string_view text, long number) {
  std::string out;
  bool placed = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '%' && next == '%') {
      out += '%';
      ++i;
    } else if (text[i] == '%' && next == 'd' && !placed) {
      out += std::to_string(number);
      placed = true;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

int ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace brevant
