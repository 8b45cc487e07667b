// The folder of key files shared by every process that uses the software
// token. A transaction holds the folder's named mutex; every write replaces
// the key file atomically, so readers never see half a file.
#pragma once
#include <string>
#include <vector>

#include "key_model.h"
#include "scoped_handle.h"

namespace sim {

// RVA_SIM_DIR when set, else the per-user default folder.
std::wstring StateFolderFromEnvironment();

class KeyStore {
 public:
  explicit KeyStore(std::wstring folder);
  const std::wstring& folder() const { return folder_; }

  // Serialises transactions on this folder across processes.
  class Transaction {
   public:
    explicit Transaction(const KeyStore& store);
    bool acquired() const { return lock_.acquired(); }

   private:
    fw::ScopedHandle mutex_;
    fw::MutexLock lock_;
  };

  // kNotFound when there is no such key, kStorageError when its file cannot
  // be read or is not a valid key.
  tk::Result Load(const std::string& name, KeyState& key) const;
  tk::Result Save(const KeyState& key) const;
  tk::Result Remove(const std::string& name) const;
  // Every readable key of the folder; files that do not parse are skipped.
  std::vector<KeyState> LoadAll() const;

 private:
  std::wstring PathOf(const std::string& name) const;
  std::wstring folder_;
};

// The inserted key in `slot`, or nullptr.
KeyState* FindInSlot(std::vector<KeyState>& keys, int slot);
// The lowest reader number no inserted key uses, or -1 when all are taken.
int FreeSlot(const std::vector<KeyState>& keys);

}  // namespace sim
