#include "registration.h"

#include <comcat.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "Kestrine_h.h"
#include "identity.h"
#include "scoped_handle.h"
#include "text.h"

namespace kestrine {
namespace {

using Microsoft::WRL::ComPtr;

// CATID_SafeForScripting and CATID_SafeForInitializing.
const CATID kSafeForScripting = {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
const CATID kSafeForInitializing = {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
constexpr LCID kCategoryLocale = 1033;

// Where the classes go: the machine-wide root or the user's classes key.
class ClassesRoot {
 public:
  explicit ClassesRoot(bool per_user) {
    if (!per_user) {
      root_ = HKEY_CLASSES_ROOT;
    } else if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               user_.put(), nullptr) == ERROR_SUCCESS) {
      root_ = user_.get();
    }
  }
  HKEY get() const { return root_; }

  // Creates `path` and sets `value_name` (nullptr: the default value).
  HRESULT Set(const std::string& path, const char* value_name, const std::string& value) const {
    fw::ScopedRegKey key;
    LSTATUS status = RegCreateKeyExA(root_, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr);
    if (status == ERROR_SUCCESS)
      status = RegSetValueExA(key.get(), value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1));
    return HRESULT_FROM_WIN32(status);
  }
  HRESULT CreateEmpty(const std::string& path) const {
    fw::ScopedRegKey key;
    return HRESULT_FROM_WIN32(RegCreateKeyExA(root_, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr));
  }
  void DeleteTree(const std::string& path) const { RegDeleteTreeA(root_, path.c_str()); RegDeleteKeyA(root_, path.c_str()); }

 private:
  fw::ScopedRegKey user_;
  HKEY root_ = nullptr;
};

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return (length > 0 && length < MAX_PATH) ? std::string(path, length) : std::string();
}

// Registration runs in the system's default locale, whatever the caller's.
class SystemLocale {
 public:
  SystemLocale() : saved_(GetThreadLocale()) { SetThreadLocale(GetSystemDefaultLCID()); }
  ~SystemLocale() { SetThreadLocale(saved_); }

 private:
  LCID saved_;
};

HRESULT WriteEntries(const ClassesRoot& root, const std::string& path) {
  const std::string clsid_key = std::string("CLSID\\") + kClsid;
  const std::string app_key = std::string("AppID\\") + kAppId;
  root.DeleteTree(clsid_key);  // the class key is replaced whole
  const struct {
    std::string key;
    const char* name;
    std::string value;
  } entries[] = {
      {app_key, nullptr, "Kestrine"},
      {"AppID\\Kestrine.DLL", "AppID", kAppId},
      {kProgId, nullptr, kClassDescription},
      {std::string(kProgId) + "\\CLSID", nullptr, kClsid},
      {kVersionIndependentProgId, nullptr, kClassDescription},
      {std::string(kVersionIndependentProgId) + "\\CLSID", nullptr, kClsid},
      {std::string(kVersionIndependentProgId) + "\\CurVer", nullptr, kProgId},
      {clsid_key, nullptr, kClassDescription},
      {clsid_key, "AppID", kAppId},
      {clsid_key + "\\ProgID", nullptr, kProgId},
      {clsid_key + "\\VersionIndependentProgID", nullptr, kVersionIndependentProgId},
      {clsid_key + "\\InprocServer32", nullptr, path},
      {clsid_key + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {clsid_key + "\\ToolboxBitmap32", nullptr, path + ", " + std::to_string(kToolboxBitmap)},
      {clsid_key + "\\MiscStatus", nullptr, "0"},
      {clsid_key + "\\MiscStatus\\1", nullptr, "131473"},
      {clsid_key + "\\TypeLib", nullptr, kLibId},
      {clsid_key + "\\Version", nullptr, "1.0"},
  };
  for (const auto& entry : entries)
    if (HRESULT hr = root.Set(entry.key, entry.name, entry.value); FAILED(hr)) return hr;
  for (const char* empty : {"\\Programmable", "\\Control"})
    if (HRESULT hr = root.CreateEmpty(clsid_key + empty); FAILED(hr)) return hr;
  return S_OK;
}

void RemoveEntries(const ClassesRoot& root) {
  root.DeleteTree(std::string("AppID\\") + kAppId);
  root.DeleteTree("AppID\\Kestrine.DLL");
  root.DeleteTree(kProgId);
  root.DeleteTree(kVersionIndependentProgId);
  root.DeleteTree(std::string("CLSID\\") + kClsid);
}

HRESULT RegisterTypeLibrary(const std::string& path, bool per_user) {
  ComPtr<ITypeLib> library;
  const std::wstring wide = fw::AnsiToWide(path);
  const HRESULT hr = LoadTypeLibEx(wide.c_str(), REGKIND_NONE, library.GetAddressOf());
  if (FAILED(hr)) return hr;
  using RegisterFn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
  RegisterFn register_for_user = nullptr;
  if (per_user)
    register_for_user = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("oleaut32.dll"), "RegisterTypeLibForUser")));
  std::wstring mutable_path = wide;
  return register_for_user ? register_for_user(library.Get(), mutable_path.data(), nullptr)
                           : RegisterTypeLib(library.Get(), mutable_path.data(), nullptr);
}

HRESULT CategoryManager(ComPtr<ICatRegister>& categories) {
  return CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                          reinterpret_cast<void**>(categories.ReleaseAndGetAddressOf()));
}

HRESULT RegisterCategories() {
  ComPtr<ICatRegister> categories;
  HRESULT hr = CategoryManager(categories);
  if (FAILED(hr)) return hr;
  CATEGORYINFO info[2] = {{kSafeForScripting, kCategoryLocale, L"Controls safely scriptable!"},
                          {kSafeForInitializing, kCategoryLocale, L"Controls safely initializable from persistent data!"}};
  hr = categories->RegisterCategories(2, info);
  CATID implemented[2] = {kSafeForScripting, kSafeForInitializing};
  if (SUCCEEDED(hr)) hr = categories->RegisterClassImplCategories(CLSID_Kestrine, 2, implemented);
  return hr;
}

void UnregisterCategories() {
  ComPtr<ICatRegister> categories;
  if (FAILED(CategoryManager(categories))) return;
  CATID implemented[2] = {kSafeForScripting, kSafeForInitializing};
  categories->UnRegisterClassImplCategories(CLSID_Kestrine, 2, implemented);
}

}  // namespace

HRESULT RegisterControl(HMODULE module, bool per_user) {
  const SystemLocale locale;
  const std::string path = ModulePath(module);
  const ClassesRoot root(per_user);
  if (path.empty() || root.get() == nullptr) return E_FAIL;
  HRESULT hr = WriteEntries(root, path);
  if (SUCCEEDED(hr)) hr = RegisterTypeLibrary(path, per_user);
  if (SUCCEEDED(hr)) hr = RegisterCategories();
  return hr;
}

HRESULT UnregisterControl(HMODULE, bool per_user) {
  const SystemLocale locale;
  const ClassesRoot root(per_user);
  if (root.get() == nullptr) return E_FAIL;
  UnregisterCategories();
  RemoveEntries(root);
  const HRESULT hr =
      UnRegisterTypeLib(LIBID_KestrineLib, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  return (SUCCEEDED(hr) || hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED) ? S_OK : hr;
}

}  // namespace kestrine
