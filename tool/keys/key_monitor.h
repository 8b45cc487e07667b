// The key monitor: scans the readers once at start, then hears of keys
// plugged in and pulled out from the device library's callbacks, which run
// on a thread of the library. It keeps the count of keys present, adds the
// tray icon with the first key and deletes it with the last, and tells the
// main window of every event by a posted message. One lock serialises the
// callbacks, pauses included, so events are handled one at a time and in
// the order the library delivers them.
#pragma once
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "device_api.h"
#include "main_window_messages.h"

namespace brevant {

// Presence of a reader as the monitor records it.
inline constexpr ULONG kNoKey = tk::kStateAbsent;
inline constexpr ULONG kKeyPresent = tk::kStatePresent;
inline constexpr char kMonitoredReader[] = "Quillon Tarnex UDISK 0";
inline constexpr DWORD kArrivalPauseMs = 200;
inline constexpr DWORD kRemovalPauseMs = 200;  // taken twice

// A key message carries its reader name as a ticket, never as a pointer:
// any program of the user can post the same message numbers, and a pointer
// taken from one would be read and freed. MailReaderName keeps a copy of the
// name and gives its ticket (never 0); TakeReaderName hands the copy over
// once, and nothing for a ticket this process did not give out.
LPARAM MailReaderName(const char* reader);
std::optional<std::string> TakeReaderName(LPARAM ticket);

// What the monitor does to the rest of the tool.
class KeyMonitorActions {
 public:
  virtual ~KeyMonitorActions() = default;
  virtual void CreateTrayIcon() = 0;
  virtual void RemoveTrayIcon() = 0;
  // Posts to the main window; a reader name travels as an owned copy.
  virtual void PostToMainWindow(UINT message, WPARAM wparam, const char* reader) = 0;
  virtual void Pause(DWORD ms) = 0;
  // The browser's part of the last removal.
  virtual void HandleLastRemovalInBrowser() {}
  virtual void ClearSslCache() {}
  // Takes the certificates of the tool's provider out of the user's stores.
  virtual void RemoveProviderCerts() {}
  // After a removal that leaves keys present: their certificates went with
  // the provider's and must be listed (and so registered) again.
  virtual void RefreshRemainingKeys() {}
};

class KeyMonitor {
 public:
  KeyMonitor(const tk::DeviceApi& api, KeyMonitorActions& actions) : api_(api), actions_(actions) {}
  KeyMonitor(const KeyMonitor&) = delete;
  KeyMonitor& operator=(const KeyMonitor&) = delete;
  ~KeyMonitor();

  // The start-up scan (each key present is reported as an arrival without
  // the pause), then the library's callbacks go to this monitor, then a
  // second look for keys plugged in meanwhile. Nothing is registered when
  // the readers cannot be listed or queried.
  void Start();
  void OnArrival(const char* reader);
  void OnRemoval(const char* reader);
  // Waits for a callback under way; later ones do nothing.
  void Stop();

  // Read without the lock by the user-interface thread.
  int present_count() const { return present_count_; }
  // Set by every arrival; read and cleared by the arrival handling.
  bool TakeArrivalFlag() { return arrival_flag_.exchange(0) != 0; }
  ULONG PresenceOf(const std::string& reader);

 private:
  // After the registration: keys plugged in while the monitor started.
  void CatchKeysPluggedInDuringStart();
  // Records the key as present; a reader already present counts no second
  // key. Lock held.
  void MarkPresent(const std::string& reader);

  const tk::DeviceApi& api_;
  KeyMonitorActions& actions_;
  std::mutex lock_;
  std::map<std::string, ULONG> presence_;
  std::set<std::string> caught_at_start_;  // reported by the second look, not yet by the library
  std::atomic<int> present_count_{0};
  std::atomic<int> arrival_flag_{0};
  bool stopped_ = false;
};

// The callbacks given to the library: they reach the monitor that was
// started last. Each returns 0.
ULONG WINAPI OnKeyArrived(const char* reader);
ULONG WINAPI OnKeyRemoved(const char* reader);

}  // namespace brevant
