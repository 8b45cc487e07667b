// Who is on the other end of a connection, and whether it may change the key.
//
// Every page the user opens runs on this machine and can reach the loopback
// port, so listening there keeps only other machines out. Browsers name the
// page behind a WebSocket in the handshake's "Origin" header, which no page
// can leave out or forge; a handshake without one comes from a program. The
// operations that change the key or can lock it are served to programs and
// to the bank's own sites only, by the rule the control also applies
// (site_origin.h).
#pragma once
#include <string_view>

#include "site_origin.h"

namespace corvane {

using sites::kMaxOriginLength;
using sites::Peer;
using sites::SiteOrigin;
using sites::TrustedOrigins;

// The peer of the received block that completed the handshake: a program,
// or a page and its origin, "" when the handshake does not tell it reliably
// (over-long, malformed, repeated, or a handshake that did not arrive whole
// from the connection's start).
// `from_connection_start`: nothing was received before this block. Only a
// whole header block at the start of the connection, with a real
// "Sec-WebSocket-Key" header and no "Origin" header, counts as a program:
// pages cannot set either header themselves, but they can make a browser
// send the text of a key inside a URL, a header value or a request body.
Peer PeerOfHandshake(std::string_view received, bool from_connection_start);

}  // namespace corvane
