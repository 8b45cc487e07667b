#include "key_store.h"

#include <shlobj.h>

#include <cwctype>

#include "reader_names.h"
#include "text.h"

namespace sim {
namespace {

constexpr DWORD kLockTimeoutMs = 10000;
constexpr DWORD kMaxKeyFileBytes = 4 * 1024 * 1024;

std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH * 2) return path;
  std::wstring full(buffer, length);
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  return full;
}

// Mutex names cannot hold backslashes: name it after a hash of the folder.
std::wstring MutexNameFor(const std::wstring& folder) {
  std::uint64_t hash = 1469598103934665603ull;
  for (wchar_t c : folder) {
    const wchar_t folded = (c == L'/') ? L'\\' : static_cast<wchar_t>(std::towlower(c));
    hash = (hash ^ static_cast<std::uint16_t>(folded)) * 1099511628211ull;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Local\\RVASimStore.%016llx", static_cast<unsigned long long>(hash));
  return name;
}

bool ReadWholeFile(const std::wstring& path, std::string& contents, DWORD& error) {
  fw::ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = GetLastError();
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxKeyFileBytes) {
    error = ERROR_FILE_TOO_LARGE;
    return false;
  }
  contents.assign(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!contents.empty() && (!ReadFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &read, nullptr) ||
                            read != contents.size())) {
    error = GetLastError();
    return false;
  }
  return true;
}

}  // namespace

std::wstring StateFolderFromEnvironment() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"RVA_SIM_DIR", buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return FullPath(buffer);
  wchar_t local[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)))
    return std::wstring(local) + L"\\RVASim\\keys";
  return L".\\RVASim\\keys";
}

KeyStore::KeyStore(std::wstring folder) : folder_(FullPath(folder)) {}

KeyStore::Transaction::Transaction(const KeyStore& store)
    : mutex_(CreateMutexW(nullptr, FALSE, MutexNameFor(store.folder()).c_str())),
      lock_(mutex_.get(), kLockTimeoutMs) {}

std::wstring KeyStore::PathOf(const std::string& name) const {
  return folder_ + L"\\" + fw::Utf8ToWide(name) + L".json";
}

tk::Result KeyStore::Load(const std::string& name, KeyState& key) const {
  if (!IsValidKeyName(name)) return tk::kNotFound;
  std::string contents;
  DWORD error = 0;
  if (!ReadWholeFile(PathOf(name), contents, error))
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? tk::kNotFound : tk::kStorageError;
  KeyState parsed;
  if (!FromJson(contents, parsed, nullptr) || parsed.name != name) return tk::kStorageError;
  key = std::move(parsed);
  return tk::kOk;
}

tk::Result KeyStore::Save(const KeyState& key) const {
  if (!IsValidKeyName(key.name)) return tk::kInvalidParameter;
  const std::string text = ToJson(key);
  if (text.empty()) return tk::kStorageError;
  SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr);
  const std::wstring target = PathOf(key.name);
  wchar_t suffix[48];
  swprintf(suffix, 48, L".%lu.%lu.tmp", GetCurrentProcessId(), GetCurrentThreadId());
  const std::wstring temporary = target + suffix;
  {
    fw::ScopedFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return tk::kStorageError;
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(file.get());
    if (!ok) {
      file.reset();
      DeleteFileW(temporary.c_str());
      return tk::kStorageError;
    }
  }
  // A reader outside this library (an editor, a virus scanner) may hold the
  // file for a moment: try again briefly before giving up.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return tk::kOk;
    Sleep(10);
  }
  DeleteFileW(temporary.c_str());
  return tk::kStorageError;
}

tk::Result KeyStore::Remove(const std::string& name) const {
  if (!IsValidKeyName(name)) return tk::kNotFound;
  if (DeleteFileW(PathOf(name).c_str())) return tk::kOk;
  const DWORD error = GetLastError();
  return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? tk::kNotFound : tk::kStorageError;
}

std::vector<KeyState> KeyStore::LoadAll() const {
  std::vector<KeyState> keys;
  WIN32_FIND_DATAW found{};
  fw::ScopedFind find(FindFirstFileW((folder_ + L"\\*.json").c_str(), &found));
  if (!find) return keys;
  do {
    std::wstring file = found.cFileName;
    if (file.size() <= 5 || file.compare(file.size() - 5, 5, L".json") != 0) continue;
    KeyState key;
    if (Load(fw::WideToUtf8(file.substr(0, file.size() - 5)), key) == tk::kOk) keys.push_back(std::move(key));
  } while (FindNextFileW(find.get(), &found));
  return keys;
}

KeyState* FindInSlot(std::vector<KeyState>& keys, int slot) {
  for (KeyState& key : keys)
    if (key.inserted && key.slot == slot) return &key;
  return nullptr;
}

int FreeSlot(const std::vector<KeyState>& keys) {
  for (int slot = 0; slot < kMaxSlots; ++slot) {
    bool used = false;
    for (const KeyState& key : keys) used = used || (key.inserted && key.slot == slot);
    if (!used) return slot;
  }
  return -1;
}

}  // namespace sim
