#include "listener.h"

#include <process.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>

#include "console.h"
#include "scoped_handle.h"

namespace corvane {
namespace {

// Serves one client on the calling thread; nothing it throws (out of memory)
// may end the process. The socket is closed either way.
void ServeGuarded(ScopedSocket client, const RequestHandler& handle_request) noexcept {
  try {
    ServeConnection(std::move(client), handle_request);
  } catch (...) {
  }
}

// What a connection thread is handed; the thread owns it.
struct ConnectionStart {
  ScopedSocket client;
  const RequestHandler* handle_request;
};

unsigned __stdcall ServeOnItsThread(void* context) {
  const std::unique_ptr<ConnectionStart> start(static_cast<ConnectionStart*>(context));
  ServeGuarded(std::move(start->client), *start->handle_request);
  return 0;
}

// Accepts one client and starts its thread; false when accepting failed.
// Connection threads are the CRT's, not std::thread's: MinGW-w64's
// winpthreads recycles the record of a detached thread that has already
// ended while that thread's exit hook may still write to it, so a
// connection that ended just as the next was accepted could leave the next
// thread without its work: it ended at once, its socket neither read nor
// closed, the client's handshake never answered.
bool AcceptOne(SOCKET listener, const RequestHandler& handle_request) {
  ScopedSocket client(accept(listener, nullptr, nullptr));
  if (!client) return false;
  try {
    auto start = std::make_unique<ConnectionStart>(ConnectionStart{std::move(client), &handle_request});
    const fw::ScopedHandle thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ServeOnItsThread, start.get(), 0, nullptr)));
    if (thread) start.release();
  } catch (...) {
    // No memory for this client: its socket was closed on the way out.
  }
  // Without a thread the socket was closed with `start`.
  return true;
}

void AcceptForEver(SOCKET listener, const RequestHandler& handle_request) noexcept {
  bool announce = true;
  for (;;) {
    try {
      // The wait notice once per wait, not once per failed attempt.
      if (announce) WriteMessage("等待连接...\n");
      announce = AcceptOne(listener, handle_request);
    } catch (...) {
      announce = false;
    }
    if (!announce) Sleep(100);  // out of sockets or memory: give the system a moment
  }
}

}  // namespace

unsigned short ListenPortFromEnvironment() {
  const char* text = std::getenv("CORVANE_PORT");
  if (text == nullptr || *text == '\0') return kBridgePort;
  char* end = nullptr;
  const unsigned long port = std::strtoul(text, &end, 10);
  return (*end == '\0' && port >= 1 && port <= 65535) ? static_cast<unsigned short>(port) : kBridgePort;
}

ScopedSocket OpenListener(unsigned short port) {
  ScopedSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!listener) {
    WriteOut("socket error !\n");
    return listener;
  }
  // No other program may take over the port while the bridge holds it.
  BOOL exclusive = TRUE;
  setsockopt(listener.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof exclusive);
  // Only this machine's programs (the user's browser) may connect: the
  // bridge answers PIN unblocking and key initialisation without asking who.
  const sockaddr_in address = LoopbackAddress(port);
  const bool bound = bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (!bound) WriteOut("bind error !\n");
  // An unbound socket cannot listen where clients expect it (some stacks
  // would pick a port of their own): it counts as a failed listen.
  if (!bound || listen(listener.get(), kListenBacklog) != 0) {
    WriteOut("listen error !\n");
    listener.reset();
  }
  return listener;
}

bool StartAcceptThread(SOCKET listener, RequestHandler handle_request) {
  try {
    std::thread([listener, handle_request = std::move(handle_request)] {
      AcceptForEver(listener, handle_request);
    }).detach();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace corvane
