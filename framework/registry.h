// One open registry key and the outcome of the last call made on it.
#pragma once
#include <windows.h>

#include <string>

#include "scoped_handle.h"

namespace brevant {

class CRegistry {
 public:
  static constexpr REGSAM kFullAccess = 0xF003F;  // KEY_ALL_ACCESS
  static constexpr REGSAM kReadAccess = 0x20019;  // KEY_READ

  // `root` is borrowed: the object never closes it.
  explicit CRegistry(HKEY root);
  virtual ~CRegistry();
  CRegistry(const CRegistry&) = delete;
  CRegistry& operator=(const CRegistry&) = delete;

  // root\path, with full access when `writable`, else read access.
  bool Open(HKEY root, const std::string& path, bool writable);
  // The current key\path with full access.
  bool OpenKey(const std::string& path);
  // Creates or opens HKEY_CURRENT_USER\path with full access, whatever the
  // construction root was.
  bool CreateKey(const std::string& path);
  // HKEY_CURRENT_USER\path with full access, created when it cannot be opened.
  bool OpenOrCreateKey(const std::string& path);
  void Close();

  bool WriteDword(const std::string& name, DWORD value);
  // Reads leave `out` untouched on failure; the stored type is not checked.
  bool ReadDword(const std::string& name, DWORD& out);
  bool ReadString(const std::string& name, std::string& out);
  // `out` is the name at `index`, or empty when there is none.
  bool EnumKey(DWORD index, std::string& out);
  bool EnumValue(DWORD index, std::string& out);

  LONG LastResult() const { return last_result_; }
  DWORD LastType() const { return last_type_; }
  DWORD LastSize() const { return last_size_; }
  HKEY Key() const { return key_; }
  const std::string& Path() const { return path_; }

  // Sizes of the areas reads and enumerations use.
  static constexpr DWORD kTextAreaSize = 4096;

 private:
  void Record(LONG result, DWORD type, DWORD size);
  // Makes `fresh` the current key, closing the one this object opened before.
  void Adopt(HKEY fresh);
  // Opens parent\path with `access` into the current key.
  bool OpenBelow(HKEY parent, const std::string& path, REGSAM access);

  LONG last_result_ = ERROR_SUCCESS;
  DWORD last_type_ = 0;
  DWORD last_size_ = 0;
  HKEY key_ = nullptr;
  std::string path_;
  fw::ScopedRegKey owned_;  // the key this object opened itself, if any
};

}  // namespace brevant
