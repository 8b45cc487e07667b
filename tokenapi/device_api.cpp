#include "device_api.h"

#include <string>

namespace tk {
namespace {
constexpr char kLibraryName[] = "RVA.dll";
}

std::string LibraryPathBeside(const std::string& path) {
  const std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  std::string library = path.substr(0, slash + 1) + kLibraryName;
  if (library.size() >= MAX_PATH) return {};
  return library;
}

bool DeviceApi::LoadBesideModule(HMODULE owner) {
  char own_path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(owner, own_path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  return LoadFrom(LibraryPathBeside(own_path).c_str(), 0);
}

bool DeviceApi::LoadBesideSettings(const char* settings_path) {
  if (settings_path == nullptr) return false;
  return LoadFrom(LibraryPathBeside(settings_path).c_str(), LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool DeviceApi::LoadFrom(const char* path, DWORD flags) {
  Unload();
  if (path == nullptr || *path == '\0') return false;
  module_ = flags ? LoadLibraryExA(path, nullptr, flags) : LoadLibraryA(path);
  if (module_ == nullptr) return false;
  ResolveAll();
  return true;
}

void DeviceApi::ResolveAll() {
#define TK_RESOLVE(name, params) name.Set(GetProcAddress(module_, #name));
  TK_DEVICE_FUNCTIONS(TK_RESOLVE)
#undef TK_RESOLVE
  LngLoadString.Set(GetProcAddress(module_, "LngLoadString"));
}

void DeviceApi::ClearAll() {
#define TK_CLEAR(name, params) name.Set(nullptr);
  TK_DEVICE_FUNCTIONS(TK_CLEAR)
#undef TK_CLEAR
  LngLoadString.Set(nullptr);
}

void DeviceApi::Unload() {
  ClearAll();
  if (module_ != nullptr) FreeLibrary(module_);
  module_ = nullptr;
}

}  // namespace tk
