// The binding to the device access library RVA.dll: a function table with a
// typed entry per exported name, loading by path, resolution by name. A name
// the library does not export leaves its entry empty, and calling an empty
// entry fails with tk::kNotExported instead of jumping through nothing.
#pragma once
#include <windows.h>

#include <string>
#include <utility>

#include "tk_defs.h"

using TK_HANDLE = void*;
// Arrival and removal notification: the affected reader's name, valid only
// during the call.
using TK_DevChgCallback = ULONG(WINAPI*)(const char* reader);

#include "device_api_names.h"

namespace tk {

#define TK_DECLARE_POINTER_TYPE(name, params) using name##_Fn = ULONG(WINAPI*) params;
TK_DEVICE_FUNCTIONS(TK_DECLARE_POINTER_TYPE)
#undef TK_DECLARE_POINTER_TYPE
using LngLoadString_Fn = const char*(WINAPI*)(const char* file, const char* section, const char* key);

// One entry of the table: a typed pointer that may be empty.
template <typename Fn>
class ApiEntry {
 public:
  template <typename... Args>
  Result operator()(Args&&... args) const {
    return fn_ ? static_cast<Result>(fn_(std::forward<Args>(args)...)) : kNotExported;
  }
  explicit operator bool() const { return fn_ != nullptr; }
  void Set(FARPROC proc) { fn_ = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc)); }

 private:
  Fn fn_ = nullptr;
};

// The text lookup; a missing export yields an empty text.
class LngEntry {
 public:
  const char* operator()(const char* file, const char* section, const char* key) const {
    const char* text = fn_ ? fn_(file, section, key) : nullptr;
    return text ? text : "";
  }
  explicit operator bool() const { return fn_ != nullptr; }
  void Set(FARPROC proc) { fn_ = reinterpret_cast<LngLoadString_Fn>(reinterpret_cast<void*>(proc)); }

 private:
  LngLoadString_Fn fn_ = nullptr;
};

class DeviceApi {
 public:
  DeviceApi() = default;
  DeviceApi(const DeviceApi&) = delete;
  DeviceApi& operator=(const DeviceApi&) = delete;
  ~DeviceApi() { Unload(); }

  // The control's rule: RVA.dll in the folder of `owner` (its own module),
  // loaded with LoadLibraryA.
  bool LoadBesideModule(HMODULE owner);
  // The tray tool's rule: RVA.dll in the folder of the settings file, loaded
  // with LOAD_WITH_ALTERED_SEARCH_PATH so its own dependencies are found there.
  bool LoadBesideSettings(const char* settings_path);
  // Frees the library and empties every entry.
  void Unload();
  // Forgets the library without freeing it (the tray tool keeps it for the
  // life of the process).
  void Release() { module_ = nullptr; }

  bool loaded() const { return module_ != nullptr; }
  HMODULE module() const { return module_; }

#define TK_DECLARE_ENTRY(name, params) ApiEntry<name##_Fn> name;
  TK_DEVICE_FUNCTIONS(TK_DECLARE_ENTRY)
#undef TK_DECLARE_ENTRY
  LngEntry LngLoadString;

 private:
  bool LoadFrom(const char* path, DWORD flags);
  void ResolveAll();
  void ClearAll();

  HMODULE module_ = nullptr;
};

// Path of RVA.dll beside the file `path`: everything after its last backslash
// replaced. Empty when there is no backslash or the result would not fit
// MAX_PATH.
std::string LibraryPathBeside(const std::string& path);

}  // namespace tk
