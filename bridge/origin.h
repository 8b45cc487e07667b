// Who is on the other end of a connection, and whether it may change the key.
//
// Every page the user opens runs on this machine and can reach the loopback
// port, so listening there keeps only other machines out. Browsers name the
// page behind a WebSocket in the handshake's "Origin" header, which no page
// can leave out or forge; a handshake without one comes from a program. The
// operations that change the key or can lock it are served to programs and
// to the bank's own sites only.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// A scheme, "://", a host name of at most 253 characters and a port fit
// easily; anything longer is no origin a browser sends.
inline constexpr std::size_t kMaxOriginLength = 300;

struct Peer {
  bool is_page = false;
  // For a page: its origin in lower case, or "" when the handshake does not
  // tell it reliably (over-long, malformed, repeated, or a handshake that did
  // not arrive whole from the connection's start).
  std::string origin;
};

// The peer of the received block that completed the handshake.
// `from_connection_start`: nothing was received before this block. Only a
// whole header block at the start of the connection, with a real
// "Sec-WebSocket-Key" header and no "Origin" header, counts as a program:
// pages cannot set either header themselves, but they can make a browser
// send the text of a key inside a URL, a header value or a request body.
Peer PeerOfHandshake(std::string_view received, bool from_connection_start);

// The origin a site address stands for: scheme and host in lower case, and
// the port when it names one other than the scheme's default
// ("https://Ebank.Vesbank.example/path" gives "https://ebank.vesbank.example").
// Nothing for an address without "scheme://" or without a host, or whose
// origin would be longer than any a page can have.
std::optional<std::string> SiteOrigin(std::string_view address);

// The bank's sites, from the ";"-separated address list the tray tool also
// puts into the browser's trusted zone. Addresses that name no origin are
// skipped.
class TrustedOrigins {
 public:
  explicit TrustedOrigins(std::string_view address_list);

  // Programs always; pages whose origin is one of the list's exactly.
  bool MayChangeTheKey(const Peer& peer) const;
  const std::vector<std::string>& origins() const { return origins_; }

 private:
  std::vector<std::string> origins_;
};

}  // namespace corvane
