// Owners for Win32 handles: one traits struct per handle kind, one template.
// get() to use, put() to receive an out-parameter, release() to give away.
#pragma once
#include <windows.h>

#include <utility>

namespace fw {

template <typename Traits>
class Scoped {
 public:
  using Type = typename Traits::Type;
  Scoped() = default;
  explicit Scoped(Type value) : value_(value) {}
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  Scoped(Scoped&& other) noexcept : value_(other.release()) {}
  Scoped& operator=(Scoped&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Scoped() { reset(); }

  Type get() const { return value_; }
  bool valid() const { return value_ != Traits::Invalid(); }
  explicit operator bool() const { return valid(); }
  Type* put() {
    reset();
    return &value_;
  }
  Type release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(Type value = Traits::Invalid()) {
    if (valid()) Traits::Close(value_);
    value_ = value;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct HandleTraits {  // events, mutexes, threads, processes: null when absent
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE when absent
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct ChangeNotificationTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindCloseChangeNotification(h); }
};
struct FindTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindClose(h); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { FreeLibrary(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type k) { RegCloseKey(k); }
};

using ScopedHandle = Scoped<HandleTraits>;
using ScopedFile = Scoped<FileHandleTraits>;
using ScopedChangeNotification = Scoped<ChangeNotificationTraits>;
using ScopedFind = Scoped<FindTraits>;
using ScopedModule = Scoped<ModuleTraits>;
using ScopedRegKey = Scoped<RegKeyTraits>;

// Holds a mutex acquired by WaitForSingleObject; an abandoned mutex counts as
// acquired (its owner died, the data it guards is still consistent because
// every write is an atomic file replacement).
class MutexLock {
 public:
  MutexLock(HANDLE mutex, DWORD timeout_ms) {
    const DWORD wait = mutex ? WaitForSingleObject(mutex, timeout_ms) : WAIT_FAILED;
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) mutex_ = mutex;
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;
  ~MutexLock() {
    if (mutex_) ReleaseMutex(mutex_);
  }
  bool acquired() const { return mutex_ != nullptr; }

 private:
  HANDLE mutex_ = nullptr;
};

}  // namespace fw
