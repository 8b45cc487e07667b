#include "sessions.h"

#include <map>
#include <mutex>

namespace sim {
namespace {

struct Table {
  std::mutex lock;
  std::map<std::uintptr_t, Session> sessions;
  std::uintptr_t next = 0x1000;
};

Table& Sessions() {
  static Table table;
  return table;
}

}  // namespace

void* OpenSession(const Session& session) {
  Table& table = Sessions();
  std::lock_guard guard(table.lock);
  const std::uintptr_t id = table.next;
  table.next += 0x10;
  table.sessions.emplace(id, session);
  return reinterpret_cast<void*>(id);
}

std::optional<Session> FindSession(void* handle) {
  Table& table = Sessions();
  std::lock_guard guard(table.lock);
  const auto found = table.sessions.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == table.sessions.end()) return std::nullopt;
  return found->second;
}

bool CloseSession(void* handle, SessionKind kind) {
  Table& table = Sessions();
  std::lock_guard guard(table.lock);
  const auto found = table.sessions.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == table.sessions.end() || found->second.kind != kind) return false;
  table.sessions.erase(found);
  return true;
}

std::uint32_t OpenSessionCount() {
  Table& table = Sessions();
  std::lock_guard guard(table.lock);
  return static_cast<std::uint32_t>(table.sessions.size());
}

}  // namespace sim
