// The settings reader: reads RVControl.ini from a per-user copy, made from
// the master file in the program folder on a user's first start, so that a
// user's settings survive updates of the program folder and can be edited
// without administrator rights. Beside the copy, RVControl.base.ini keeps
// the master's text the copy was made or last refreshed from: the values
// still equal to it are the ones the user never changed, which follow the
// next master (RefreshPerUserCopy).
#pragma once
#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace brevant {

class CIni {
 public:
  // Points both paths at `master_path`, then switches to the per-user copy
  // (creating folder and copy when needed). Stays on the master when no
  // per-user path can be built or the folder cannot be made.
  void Open(const char* master_path);

  // The value of section/key (default: `default_value`, null counts as "")
  // copied into `buffer` of `size` bytes, cut at a character boundary.
  // Returns the length of the copied text.
  std::size_t GetString(const char* section, const char* key, char* buffer, std::size_t size,
                        const char* default_value) const;
  // The value held by a buffer of `buffer_size` bytes.
  std::string GetString(const char* section, const char* key, const char* default_value,
                        std::size_t buffer_size) const;
  int GetInt(const char* section, const char* key, const char* default_value) const;

  const std::string& path() const { return path_; }
  const std::string& master_path() const { return master_path_; }

 private:
  std::string ReadWhole(const char* section, const char* key, const char* default_value) const;

  std::string path_;         // the file read: the per-user copy once it exists
  std::string master_path_;  // the file in the program folder
};

// The install run's refresh of the per-user copy of `master_path`: the
// master merged in by MergeSettingsCopy against the baseline, then the
// baseline replaced by the master. Each file is written through a temporary
// file; on any failure the copy and the baseline stay as they were (false).
// Without a copy there is nothing to refresh (true): the next Open makes it.
bool RefreshPerUserCopy(const char* master_path);

// The per-user folder ("...\Quillon\") for an application-data folder, or ""
// when it would not fit MAX_PATH.
std::string PerUserFolderFrom(const std::string& app_data_folder);

// Tests point the per-user folder at a folder of their own for the object's
// lifetime, so they never touch the profile of the user running them.
class ScopedAppDataFolderForTesting {
 public:
  explicit ScopedAppDataFolderForTesting(std::string folder);
  ScopedAppDataFolderForTesting(const ScopedAppDataFolderForTesting&) = delete;
  ScopedAppDataFolderForTesting& operator=(const ScopedAppDataFolderForTesting&) = delete;
  ~ScopedAppDataFolderForTesting();

 private:
  std::optional<std::string> previous_;
};

}  // namespace brevant
