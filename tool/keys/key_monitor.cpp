#include "key_monitor.h"

#include <cstdint>
#include <optional>

#include "device_layer.h"
#include "phase_trace.h"

namespace brevant {
namespace {

// The monitor the library's callbacks reach. A callback holds the lock for
// its whole run, so a monitor that stops is never entered afterwards.
std::mutex g_dispatch_lock;
KeyMonitor* g_active_monitor = nullptr;

template <typename Call>
void Dispatch(Call call) {
  std::lock_guard guard(g_dispatch_lock);
  if (g_active_monitor != nullptr) call(*g_active_monitor);
}


// Reader names on their way to the main window, by ticket. A name stays
// here only while its message is queued.
std::mutex g_mail_lock;
std::map<LPARAM, std::string> g_mailed_names;
LPARAM g_last_ticket = 0;

}  // namespace

LPARAM MailReaderName(const char* reader) {
  std::lock_guard guard(g_mail_lock);
  do {
    g_last_ticket = g_last_ticket == INTPTR_MAX ? 1 : g_last_ticket + 1;
  } while (g_mailed_names.count(g_last_ticket) != 0);
  g_mailed_names.emplace(g_last_ticket, reader != nullptr ? reader : "");
  return g_last_ticket;
}

std::optional<std::string> TakeReaderName(LPARAM ticket) {
  std::lock_guard guard(g_mail_lock);
  const auto at = g_mailed_names.find(ticket);
  if (at == g_mailed_names.end()) return std::nullopt;
  std::string reader = std::move(at->second);
  g_mailed_names.erase(at);
  return reader;
}

KeyMonitor::~KeyMonitor() { Stop(); }

void KeyMonitor::Start() {
  const std::optional<ReaderListing> listing = ListReaders(api_);
  if (!listing) return;
  {
    std::lock_guard guard(lock_);
    for (const std::string& reader : listing->names) {
      presence_.try_emplace(reader, kNoKey);
      if (listing->count == 0) return;  // the library contradicts itself: no events from it
      ULONG state = 0;
      if (api_.TK_GetDevState(reader.c_str(), &state) != tk::kOk) return;
      if (state != kKeyPresent) continue;
      MarkPresent(reader);
      actions_.PostToMainWindow(kKeyPresentMessage, 0, reader.c_str());
    }
  }
  {
    std::lock_guard guard(g_dispatch_lock);
    g_active_monitor = this;
  }
  api_.TK_SetDevChgFunc(kMonitoredReader, &OnKeyArrived, &OnKeyRemoved, kMonitoredReader, 0);
  CatchKeysPluggedInDuringStart();
}

// A key plugged in between the scan and the registration is news to neither:
// the library takes it as already there. A second look finds it; one the
// callback reported meanwhile is present already and not reported twice,
// and the library's own report of one found here is let go.
void KeyMonitor::CatchKeysPluggedInDuringStart() {
  const std::optional<ReaderListing> listing = ListReaders(api_);
  if (!listing || listing->count == 0) return;
  std::lock_guard guard(lock_);
  if (stopped_) return;
  for (const std::string& reader : listing->names) {
    ULONG state = 0;
    if (api_.TK_GetDevState(reader.c_str(), &state) != tk::kOk || state != kKeyPresent) continue;
    if (presence_.try_emplace(reader, kNoKey).first->second == kKeyPresent) continue;
    MarkPresent(reader);
    caught_at_start_.insert(reader);
    actions_.PostToMainWindow(kKeyPresentMessage, 0, reader.c_str());
  }
}

void KeyMonitor::Stop() {
  {
    std::lock_guard guard(g_dispatch_lock);
    if (g_active_monitor == this) g_active_monitor = nullptr;
  }
  std::lock_guard guard(lock_);
  stopped_ = true;
}

void KeyMonitor::MarkPresent(const std::string& reader) {
  ULONG& state = presence_.try_emplace(reader, kNoKey).first->second;
  arrival_flag_ = 1;
  if (state == kKeyPresent) return;
  state = kKeyPresent;
  // The icon comes first, so that it is there when the window hears of the
  // key; a failure to add it leaves the count right all the same.
  if (present_count_ <= 0) {
    const TraceSpan span("tray icon");
    actions_.CreateTrayIcon();
  }
  ++present_count_;
}

ULONG KeyMonitor::PresenceOf(const std::string& reader) {
  std::lock_guard guard(lock_);
  return presence_.try_emplace(reader, kNoKey).first->second;
}

void KeyMonitor::OnArrival(const char* reader) {
  if (reader == nullptr) return;
  TracePhase("arrival callback", reader);
  std::lock_guard guard(lock_);
  if (stopped_) return;
  // The library's report of a key the second look at start found already.
  if (caught_at_start_.erase(reader) != 0) return;
  MarkPresent(reader);
  actions_.Pause(kArrivalPauseMs);
  actions_.PostToMainWindow(kKeyPresentMessage, 0, reader);
  TracePhase("arrival posted", reader);
}

void KeyMonitor::OnRemoval(const char* reader) {
  if (reader == nullptr) return;
  TracePhase("removal callback", reader);
  std::lock_guard guard(lock_);
  if (stopped_) return;
  caught_at_start_.erase(reader);
  ULONG& state = presence_.try_emplace(reader, kNoKey).first->second;
  if (state == kKeyPresent) {
    if (--present_count_ == 0) {
      {
        const TraceSpan span("last removal in browser");
        actions_.HandleLastRemovalInBrowser();
      }
      actions_.PostToMainWindow(WM_SYSCOMMAND, SC_CLOSE, nullptr);
      const TraceSpan span("tray icon removal");
      actions_.RemoveTrayIcon();
    }
    actions_.PostToMainWindow(kKeyRemovedMessage, 0, reader);
    TracePhase("removal posted", reader);
    actions_.Pause(kRemovalPauseMs);
    actions_.Pause(kRemovalPauseMs);
    {
      const TraceSpan span("ssl cache");
      actions_.ClearSslCache();
    }
    {
      const TraceSpan span("store clean-up");
      actions_.RemoveProviderCerts();
    }
    if (present_count_ > 0) actions_.RefreshRemainingKeys();
  }
  state = kNoKey;
}

ULONG WINAPI OnKeyArrived(const char* reader) {
  Dispatch([reader](KeyMonitor& monitor) { monitor.OnArrival(reader); });
  return 0;
}

ULONG WINAPI OnKeyRemoved(const char* reader) {
  Dispatch([reader](KeyMonitor& monitor) { monitor.OnRemoval(reader); });
  return 0;
}

}  // namespace brevant
