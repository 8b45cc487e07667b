// Double-NUL name lists as the device library returns them: each name ended by
// NUL, the list ended by an empty name, with a byte size and an entry count.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tk_defs.h"

namespace tk {

// Bytes a list of these names needs: every name and its NUL, plus the final
// NUL; an empty list needs 0 bytes.
std::uint32_t NameListSize(const std::vector<std::string>& names);

// Writes `names` into `buffer` of *size bytes. *size receives the bytes needed
// and *count the number of names. A null buffer only asks for the size; a
// buffer that is too small gives kBufferTooSmall and is left untouched.
Result WriteNameList(const std::vector<std::string>& names, char* buffer, std::uint32_t* size,
                     std::uint32_t* count);

// Reads at most `max_names` names from a list of `size` bytes; stops at the
// empty name or at the end of the buffer (an unterminated last name is cut at
// the buffer's end).
std::vector<std::string> ReadNameList(const char* buffer, std::size_t size,
                                      std::size_t max_names = SIZE_MAX);

}  // namespace tk
