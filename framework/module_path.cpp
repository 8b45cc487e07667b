#include "module_path.h"

namespace fw {

std::string FileBesideModule(HMODULE module, std::string_view file_name) {
  char own_path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, own_path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string path(own_path, length);
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  path.resize(slash + 1);
  path += file_name;
  return path.size() < MAX_PATH ? path : std::string();
}

}  // namespace fw
