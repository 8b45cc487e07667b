// Open device connections and applications of this process. Handles are
// opaque numbers looked up in a table, so a stale or made-up handle is
// refused instead of being dereferenced.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

enum class SessionKind { Device, Application };

struct Session {
  SessionKind kind = SessionKind::Device;
  std::wstring folder;    // state folder at connection time
  std::string key_name;
  std::uint32_t insertion = 0;  // the key's insertion the handle belongs to
};

void* OpenSession(const Session& session);
std::optional<Session> FindSession(void* handle);
// Removes a session of the given kind; false when the handle is not one.
bool CloseSession(void* handle, SessionKind kind);
std::uint32_t OpenSessionCount();

}  // namespace sim
