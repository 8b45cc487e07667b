// The benchmark's transport floor: the bridge's own listener, handshake and
// frame handling, answering every request with its own text instead of
// calling the key control.
#include "listener.h"

int main() {
  const corvane::WinsockSession sockets;
  if (!sockets.started()) return 1;
  const corvane::ScopedSocket listener = corvane::OpenListener(corvane::ListenPortFromEnvironment());
  if (!listener) return 1;
  if (!corvane::StartAcceptThread(listener.get(), [](const std::string& request) { return request; })) return 1;
  Sleep(INFINITE);
}
