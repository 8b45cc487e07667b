// The benchmark's transport floor: the bridge's own listener, handshake and
// frame handling, answering every request with its own text instead of
// calling the key control.
#include "listener.h"

int main() {
  const corvane::WinsockSession sockets;
  if (!sockets.started()) return 1;
  const corvane::ScopedSocket listener = corvane::OpenListener(corvane::ListenPortFromEnvironment());
  if (!listener) return 1;
  const auto echo = [](const std::string& request, const corvane::Peer&) { return request; };
  if (!corvane::StartAcceptThread(listener.get(), echo)) return 1;
  Sleep(INFINITE);
}
