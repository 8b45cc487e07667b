// TK_SetDevChgFunc: one watcher thread per process reports keys inserted into
// and removed from the simulated readers by calling the registered callbacks,
// as a device library does from a thread of its own.
#include <map>
#include <optional>
#include <mutex>
#include <string>

#include "key_store.h"
#include "reader_names.h"
#include "rva_exports.h"
#include "scoped_handle.h"

using namespace sim;

namespace {

constexpr DWORD kPollMs = 100;  // also catches changes the folder watch misses

struct Registration {
  TK_DevChgCallback on_arrival = nullptr;
  TK_DevChgCallback on_removal = nullptr;
  std::string filter;
  bool has_filter = false;
};

struct Watcher {
  std::mutex lock;
  Registration registration;
  fw::ScopedHandle thread;
  fw::ScopedHandle stop;  // set to end the current thread
};

// Inserted keys by reader name, with the insertion they belong to (a key
// pulled and plugged back between two looks counts as removal + arrival).
using Snapshot = std::map<std::string, std::pair<std::string, std::uint32_t>>;

// What a watcher thread owns: its own stop event (a later registration may
// start a new thread with a new one), a reference to this library, and the
// keys inserted when the callbacks were registered, the ones it reports no
// arrival for.
struct ThreadArgs {
  HMODULE module;
  HANDLE stop;
  std::wstring folder;
  Snapshot known;
};

Watcher& TheWatcher() {
  static Watcher watcher;
  return watcher;
}

// Taken inside the folder's transaction so that no key is caught half-way
// through a change; nothing when the folder is busy.
std::optional<Snapshot> TakeSnapshot(const std::wstring& folder) {
  const KeyStore store(folder);
  const KeyStore::Transaction transaction(store);
  if (!transaction.acquired()) return std::nullopt;
  Snapshot snapshot;
  for (const KeyState& key : store.LoadAll())
    if (key.inserted) snapshot[ReaderName(key.slot)] = {key.name, key.insertion};
  return snapshot;
}

// The keys present at registration; empty when the folder stays busy.
Snapshot FirstSnapshot(const std::wstring& folder) {
  for (int attempt = 0; attempt < 50; ++attempt)
    if (std::optional<Snapshot> first = TakeSnapshot(folder)) return std::move(*first);
  return {};
}

void Report(const Snapshot& before, const Snapshot& after, const Registration& r) {
  const char* filter = r.has_filter ? r.filter.c_str() : nullptr;
  for (const auto& [reader, key] : before) {
    const auto now = after.find(reader);
    if ((now == after.end() || now->second != key) && r.on_removal && ReaderMatchesFilter(reader, filter))
      r.on_removal(reader.c_str());
  }
  for (const auto& [reader, key] : after) {
    const auto then = before.find(reader);
    if ((then == before.end() || then->second != key) && r.on_arrival && ReaderMatchesFilter(reader, filter))
      r.on_arrival(reader.c_str());
  }
}

DWORD WINAPI WatchKeys(void* param) {
  ThreadArgs* args = static_cast<ThreadArgs*>(param);
  const HMODULE module = args->module;
  const fw::ScopedHandle stop(args->stop);
  const std::wstring folder = args->folder;
  Snapshot known = std::move(args->known);
  delete args;
  Watcher& w = TheWatcher();
  fw::ScopedChangeNotification change(FindFirstChangeNotificationW(
      folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE));
  for (;;) {
    HANDLE waits[2] = {stop.get(), change.get()};
    const DWORD woke = WaitForMultipleObjects(change ? 2 : 1, waits, FALSE, kPollMs);
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_OBJECT_0 + 1 && !FindNextChangeNotification(change.get())) change.reset();
    if (!change)  // the folder may appear later
      change.reset(FindFirstChangeNotificationW(folder.c_str(), FALSE,
                                                FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE));
    std::optional<Snapshot> taken;
    try {
      taken = TakeSnapshot(folder);
    } catch (...) {
    }
    if (!taken) continue;
    Snapshot now = std::move(*taken);
    Registration registration;
    {
      std::lock_guard guard(w.lock);
      registration = w.registration;
    }
    if (WaitForSingleObject(stop.get(), 0) == WAIT_OBJECT_0) break;
    // Callbacks run without the lock, so they may call back into the library.
    Report(known, now, registration);
    known = std::move(now);
  }
  FreeLibraryAndExitThread(module, 0);
  return 0;
}

}  // namespace

extern "C" ULONG WINAPI TK_SetDevChgFunc(const char* reader_filter, TK_DevChgCallback on_arrival,
                                         TK_DevChgCallback on_removal, const void* context, ULONG reserved) {
  (void)context;
  (void)reserved;
  try {
    Watcher& w = TheWatcher();
    std::lock_guard guard(w.lock);
    w.registration.on_arrival = on_arrival;
    w.registration.on_removal = on_removal;
    w.registration.has_filter = reader_filter != nullptr;
    w.registration.filter = reader_filter ? reader_filter : "";

    const bool running = w.thread && WaitForSingleObject(w.thread.get(), 0) == WAIT_TIMEOUT &&
                         WaitForSingleObject(w.stop.get(), 0) == WAIT_TIMEOUT;
    if (!on_arrival && !on_removal) {
      // Nothing left to report: let the thread end (it holds its own
      // reference to this library and releases it on the way out).
      if (running) SetEvent(w.stop.get());
      return tk::kOk;
    }
    if (running) return tk::kOk;

    // Taken now, not by the thread: a key plugged in after this call returns
    // is reported even if the thread has not looked yet.
    const std::wstring folder = KeyStore(StateFolderFromEnvironment()).folder();
    Snapshot known = FirstSnapshot(folder);
    w.stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE thread_stop = nullptr;
    if (!w.stop || !DuplicateHandle(GetCurrentProcess(), w.stop.get(), GetCurrentProcess(), &thread_stop, 0,
                                    FALSE, DUPLICATE_SAME_ACCESS))
      return tk::kStorageError;
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&TK_SetDevChgFunc),
                            &self)) {
      CloseHandle(thread_stop);
      return tk::kStorageError;
    }
    auto* args = new ThreadArgs{self, thread_stop, folder, std::move(known)};
    w.thread.reset(CreateThread(nullptr, 0, WatchKeys, args, 0, nullptr));
    if (!w.thread) {
      CloseHandle(thread_stop);
      FreeLibrary(self);
      delete args;
      return tk::kStorageError;
    }
    return tk::kOk;
  } catch (...) {
    return tk::kStorageError;
  }
}
