// The bridge's listening socket and the thread that accepts its clients.
#pragma once
#include "connection.h"
#include "socket.h"

namespace corvane {

inline constexpr unsigned short kBridgePort = 20407;
inline constexpr int kListenBacklog = 5;

// The bridge's port, or the one CORVANE_PORT names: tests and benchmarks run
// beside a bridge already in use. Pages always expect the default.
unsigned short ListenPortFromEnvironment();

// A stream socket listening on the loopback address at `port`, or an invalid
// one after the start-up message that says what failed has been printed.
ScopedSocket OpenListener(unsigned short port);

// Accepts clients of `listener` for ever, each served on a thread of its own
// by ServeConnection with `handle_request`. Both must outlive the process's
// work; the thread is never joined.
bool StartAcceptThread(SOCKET listener, RequestHandler handle_request);

}  // namespace corvane
