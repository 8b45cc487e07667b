#include "profile_value.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace fw {

ProfileValue ReadProfileValue(const std::string& path, const char* section, const char* key, const char* fallback,
                              std::size_t limit) {
  constexpr std::size_t kFirstSize = 512;
  // Room for `limit` characters, the terminator and one more, to tell a
  // value of exactly `limit` characters from a longer one.
  const std::size_t largest = limit + 2;
  std::vector<char> text(std::min(kFirstSize, largest));
  for (;;) {
    const DWORD size = static_cast<DWORD>(text.size());
    DWORD length = GetPrivateProfileStringA(section, key, fallback, text.data(), size, path.c_str());
    length = std::min<DWORD>(length, size - 1);
    // A value that filled the buffer to its last character may have been cut.
    if (length + 1 < size) return {std::string(text.data(), length), true};
    if (size >= largest) return {std::string(text.data(), limit), false};
    text.resize(std::min(text.size() * 2, largest));
  }
}

}  // namespace fw
