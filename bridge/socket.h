// Windows sockets for the bridge: the library's start-up, socket owners and
// whole sends.
#pragma once
#include <winsock2.h>

#include <string_view>

#include "scoped_handle.h"

namespace corvane {

struct SocketTraits {
  using Type = SOCKET;
  static Type Invalid() { return INVALID_SOCKET; }
  static void Close(Type s) { closesocket(s); }
};
using ScopedSocket = fw::Scoped<SocketTraits>;

// WSAStartup 2.2 for the object's lifetime.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  ~WinsockSession() {
    if (started_) WSACleanup();
  }
  bool started() const { return started_; }

 private:
  bool started_ = false;
};

// The loopback address at `port`: where the bridge listens and clients call.
inline sockaddr_in LoopbackAddress(unsigned short port) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Sends every byte unless the connection fails; false then.
inline bool SendAll(SOCKET socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<int>(bytes.size());
    const int sent = send(socket, bytes.data(), chunk, 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace corvane
