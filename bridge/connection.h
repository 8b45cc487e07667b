// One client connection: the opening handshake, then one reply frame for
// every frame received, until the client closes or the connection fails.
#pragma once
#include <functional>
#include <string>

#include "origin.h"
#include "socket.h"

namespace corvane {

// Turns one received request text into the reply text ("" for no answer);
// `peer` is who opened the connection, as its handshake tells.
using RequestHandler = std::function<std::string(const std::string& request, const Peer& peer)>;

// The receive block: a handshake or a frame must arrive in one.
inline constexpr int kReceiveBlock = 2048;

// Serves `socket` until the connection ends, then closes it.
void ServeConnection(ScopedSocket socket, const RequestHandler& handle_request);

}  // namespace corvane
