#include "phase_trace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace brevant {
namespace {

struct TraceFile {
  std::mutex lock;
  std::FILE* file = nullptr;
  TraceFile() {
    if (const char* path = std::getenv(kTraceVariable); path != nullptr && *path != '\0')
      file = std::fopen(path, "ab");
  }
  ~TraceFile() {
    if (file != nullptr) std::fclose(file);
  }
};

TraceFile& Trace() {
  static TraceFile trace;
  return trace;
}

}  // namespace

bool TraceEnabled() { return Trace().file != nullptr; }

void TracePhase(const char* phase, const std::string& detail) {
  TraceFile& trace = Trace();
  if (trace.file == nullptr) return;
  const long long now = TraceClockMicroseconds();
  std::lock_guard guard(trace.lock);
  std::fprintf(trace.file, "%lld %s%s%s\n", now, phase, detail.empty() ? "" : " ", detail.c_str());
  std::fflush(trace.file);
}

}  // namespace brevant
