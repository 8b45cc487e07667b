// How each exported function reaches its key: resolve the handle, take the
// folder's transaction, load the key, check that it is still the inserted key
// the handle was opened on, apply an injected fault, run the operation, save
// when the operation changed the key. No exception leaves an exported
// function.
#pragma once
#include <windows.h>

#include "key_store.h"
#include "sessions.h"
#include "tk_defs.h"

namespace sim {

// Runs `body` and turns any escaping exception into a storage failure.
template <typename Body>
tk::Result Guarded(Body body) noexcept {
  try {
    return body();
  } catch (...) {
    return tk::kStorageError;
  }
}

// `op(KeyState&, bool& changed) -> tk::Result`.
template <typename Op>
tk::Result WithKey(void* handle, const char* function, Op op) {
  return Guarded([&]() -> tk::Result {
    const std::optional<Session> session = FindSession(handle);
    if (!session) return tk::kInvalidHandle;
    const KeyStore store(session->folder);
    const KeyStore::Transaction transaction(store);
    if (!transaction.acquired()) return tk::kStorageError;
    KeyState key;
    const tk::Result loaded = store.Load(session->key_name, key);
    if (loaded == tk::kNotFound) return tk::kNoDevice;
    if (loaded != tk::kOk) return loaded;
    if (!key.inserted || key.insertion != session->insertion) return tk::kNoDevice;
    if (const std::optional<tk::Result> fault = TakeFault(key, function)) {
      store.Save(key);
      return *fault;
    }
    bool changed = false;
    const tk::Result result = op(key, changed);
    if (changed) {
      const tk::Result saved = store.Save(key);
      if (saved != tk::kOk) return saved;
    }
    return result;
  });
}

// Copies `bytes` into a caller's buffer of *length bytes: a null buffer asks
// for the length; a short one gives kBufferTooSmall and the length needed.
tk::Result CopyOut(const void* bytes, std::size_t size, void* buffer, ULONG* length);

}  // namespace sim
