#include "ini.h"

#include <shlobj.h>

#include <utility>

#include "profile_value.h"
#include "scoped_handle.h"
#include "text_cut.h"

namespace brevant {
namespace {

constexpr char kVendorFolder[] = "Quillon\\";
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
  const std::size_t slash = master_path_.find_last_of('\\');
  if (slash == std::string::npos) return;
  const std::string folder = PerUserFolderFrom(AppDataFolder());
  if (folder.empty()) return;
  const std::string copy = folder + master_path_.substr(slash + 1);
  if (copy.size() >= MAX_PATH || !CreateFolder(folder)) return;
  if (!CanOpenForReading(copy)) CopyFileA(master_path_.c_str(), copy.c_str(), FALSE);
  // A copy that could not be made would hide a master that is there: only a
  // copy that exists replaces it.
  if (CanOpenForReading(copy) || !CanOpenForReading(master_path_)) path_ = copy;
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
