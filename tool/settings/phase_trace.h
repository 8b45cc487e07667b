// Timestamps of what the tool does on a key change, for the benchmark that
// splits a change into its phases. Off unless the environment variable
// BREVANT_TRACE names a file, to which each phase is appended as one line:
// "<microseconds of the steady clock> <phase>[ <detail>]". Details are
// reader and phase names only: never a PIN, a certificate or a label.
#pragma once
#include <chrono>
#include <string>

namespace brevant {

inline constexpr char kTraceVariable[] = "BREVANT_TRACE";

// The clock of every stamp; a benchmark in another process of the same
// machine reads the same one.
inline long long TraceClockMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool TraceEnabled();
void TracePhase(const char* phase, const std::string& detail = {});

// A phase from its start to its end: "<phase> begin" and "<phase> end".
class TraceSpan {
 public:
  explicit TraceSpan(const char* phase, std::string detail = {}) : phase_(phase), detail_(std::move(detail)) {
    if (TraceEnabled()) TracePhase((phase_ + " begin").c_str(), detail_);
  }
  ~TraceSpan() {
    if (TraceEnabled()) TracePhase((phase_ + " end").c_str(), detail_);
  }
  TraceSpan(const TraceSpan&) = delete;
  TraceSpan& operator=(const TraceSpan&) = delete;

 private:
  std::string phase_, detail_;
};

}  // namespace brevant
