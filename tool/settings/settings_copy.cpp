#include "settings_copy.h"

#include <shlobj.h>

#include <utility>

#include "ini_merge.h"
#include "profile_value.h"
#include "scoped_handle.h"
#include "text_cut.h"

namespace brevant {
namespace {

constexpr char kVendorFolder[] = "Quillon\\";
constexpr char kBaselineMark[] = ".base";
// A value this long is not a setting; stop growing rather than exhaust memory.
constexpr std::size_t kReadLimit = 1u << 20;

std::optional<std::string>& AppDataOverride() {
  static std::optional<std::string> folder;
  return folder;
}

// The roaming application-data folder, or the temporary folder when the
// shell cannot tell it; "" when neither is known.
std::string AppDataFolder() {
  if (AppDataOverride()) return *AppDataOverride();
  char folder[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)) && folder[0] != '\0')
    return folder;
  const DWORD length = GetTempPathA(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::string(folder, length);
}

bool CanOpenForReading(const std::string& path) {
  const fw::ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid();
}

bool CreateFolder(const std::string& folder) {
  std::string without_slash = folder;
  while (without_slash.size() > 3 && (without_slash.back() == '\\' || without_slash.back() == '/'))
    without_slash.pop_back();
  const int result = SHCreateDirectoryExA(nullptr, without_slash.c_str(), nullptr);
  return result == ERROR_SUCCESS || result == ERROR_FILE_EXISTS || result == ERROR_ALREADY_EXISTS;
}

// The per-user copy of the master at `master_path`, "" when none can be had.
std::string PerUserCopyPath(const std::string& master_path) {
  const std::size_t slash = master_path.find_last_of('\\');
  if (slash == std::string::npos) return {};
  const std::string folder = PerUserFolderFrom(AppDataFolder());
  if (folder.empty()) return {};
  const std::string copy = folder + master_path.substr(slash + 1);
  return copy.size() < MAX_PATH ? copy : std::string();
}

// "RVControl.base.ini" for "RVControl.ini"; "" when it would not fit MAX_PATH.
std::string BaselinePath(const std::string& copy) {
  const std::size_t dot = copy.find_last_of('.');
  const std::size_t slash = copy.find_last_of('\\');
  const std::size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? copy.size() : dot;
  const std::string path = copy.substr(0, at) + kBaselineMark + copy.substr(at);
  return path.size() < MAX_PATH ? path : std::string();
}

enum class FileRead { kRead, kMissing, kFailed };

FileRead ReadWholeFile(const std::string& path, std::string& bytes) {
  const fw::ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileRead::kMissing : FileRead::kFailed;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || static_cast<ULONGLONG>(size.QuadPart) > kReadLimit)
    return FileRead::kFailed;
  std::string data(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!data.empty() && (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
                        read != data.size()))
    return FileRead::kFailed;
  bytes = std::move(data);
  return FileRead::kRead;
}

// Replaces the file's contents through a temporary file beside it: a reader
// (or a crash) meets the old file or the new one, never a part.
bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  if (temporary.size() >= MAX_PATH) return false;
  bool written = false;
  {
    const fw::ScopedFile file(
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD count = 0;
    written = file && (bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count,
                                                   nullptr) &&
                                         count == bytes.size())) &&
              FlushFileBuffers(file.get());
  }
  if (written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileA(temporary.c_str());
  return false;
}

// The copy and its baseline from one reading of the master. A copy without
// a baseline is still a copy (the next refresh keeps what differs).
void MakeCopy(const std::string& master, const std::string& copy) {
  std::string text;
  if (ReadWholeFile(master, text) != FileRead::kRead || !WriteWholeFile(copy, text)) return;
  if (const std::string baseline = BaselinePath(copy); !baseline.empty()) WriteWholeFile(baseline, text);
}

}  // namespace

std::string PerUserFolderFrom(const std::string& app_data_folder) {
  if (app_data_folder.empty()) return {};
  std::string folder = app_data_folder;
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  folder += kVendorFolder;
  return folder.size() < MAX_PATH ? folder : std::string();
}

void CIni::Open(const char* master_path) {
  master_path_ = master_path ? master_path : "";
  path_ = master_path_;
  const std::string copy = PerUserCopyPath(master_path_);
  if (copy.empty() || !CreateFolder(copy.substr(0, copy.find_last_of('\\') + 1))) return;
  if (!CanOpenForReading(copy)) MakeCopy(master_path_, copy);
  // A copy that could not be made would hide a master that is there: only a
  // copy that exists replaces it.
  if (CanOpenForReading(copy) || !CanOpenForReading(master_path_)) path_ = copy;
}

bool RefreshPerUserCopy(const char* master_path) {
  const std::string master_file = master_path ? master_path : "";
  const std::string copy = PerUserCopyPath(master_file);
  const std::string baseline = copy.empty() ? std::string() : BaselinePath(copy);
  if (baseline.empty()) return false;
  std::string old_copy, master, base;
  const FileRead copy_read = ReadWholeFile(copy, old_copy);
  if (copy_read == FileRead::kMissing) return true;
  const FileRead base_read = ReadWholeFile(baseline, base);
  if (copy_read != FileRead::kRead || base_read == FileRead::kFailed ||
      ReadWholeFile(master_file, master) != FileRead::kRead)
    return false;
  const std::optional<std::string_view> previous =
      base_read == FileRead::kRead ? std::optional<std::string_view>(base) : std::nullopt;
  if (!WriteWholeFile(copy, MergeSettingsCopy(master, old_copy, previous))) return false;
  if (WriteWholeFile(baseline, master)) return true;
  // The merged copy with the old baseline would make every value it took
  // from the new master look like the user's at the next refresh: the pair
  // goes back as it was.
  WriteWholeFile(copy, old_copy);
  return false;
}

std::string CIni::ReadWhole(const char* section, const char* key, const char* default_value) const {
  const char* fallback = default_value ? default_value : "";
  // Without both names the profile API lists names instead of reading a value.
  if (section == nullptr || key == nullptr) return fallback;
  return fw::ReadProfileValue(path_, section, key, fallback, kReadLimit).text;
}

std::size_t CIni::GetString(const char* section, const char* key, char* buffer, std::size_t size,
                            const char* default_value) const {
  return CopyCut(buffer, size, ReadWhole(section, key, default_value));
}

std::string CIni::GetString(const char* section, const char* key, const char* default_value,
                            std::size_t buffer_size) const {
  return CutText(ReadWhole(section, key, default_value), buffer_size);
}

int CIni::GetInt(const char* section, const char* key, const char* default_value) const {
  return ParseDecimal(ReadWhole(section, key, default_value));
}

ScopedAppDataFolderForTesting::ScopedAppDataFolderForTesting(std::string folder)
    : previous_(std::exchange(AppDataOverride(), std::move(folder))) {}

ScopedAppDataFolderForTesting::~ScopedAppDataFolderForTesting() { AppDataOverride() = std::move(previous_); }

}  // namespace brevant
