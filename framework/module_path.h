// Files that ship beside a program or library.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace fw {

// The full path of `file_name` in the folder of `module` (nullptr: the
// program), or "" when that path does not fit MAX_PATH.
std::string FileBesideModule(HMODULE module, std::string_view file_name);

}  // namespace fw
