// Which pages are the bank's own: the one origin rule of the suite. The
// bridge applies it to the "Origin" a browser names in a WebSocket handshake,
// the key control to the address of the page that hosts it; both serve the
// operations that change the key or can lock it to programs and to the
// bank's sites only.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sites {

// A scheme, "://", a host name of at most 253 characters and a port fit
// easily; anything longer is no origin a browser sends.
inline constexpr std::size_t kMaxOriginLength = 300;
// Browsers keep page addresses of at most 2048 characters of path, 32 of
// scheme and the "://" between them; a longer one names no page they show.
inline constexpr std::size_t kMaxPageAddressLength = 2083;

// Who calls: a program, or a page and its origin.
struct Peer {
  bool is_page = false;
  // For a page: its origin in lower case, or "" when it cannot be told
  // reliably.
  std::string origin;
};

// The origin a site address stands for: scheme and host in lower case, and
// the port when it names one other than the scheme's default
// ("https://Ebank.Vesbank.example/path" gives "https://ebank.vesbank.example").
// Nothing for an address without "scheme://" or without a host, or whose
// origin would be longer than any a page can have.
std::optional<std::string> SiteOrigin(std::string_view address);

// The origin of the page shown at `address`, as a browser reports the
// address: only http and https pages have one that can be one of the bank's
// sites. Nothing for any other scheme (about:, file:, res:, ...) and for an
// address longer than kMaxPageAddressLength. Characters outside printable
// ASCII never belong to a scheme or host, so they can neither end the host
// early nor be trimmed away: an address holding one in its host has none.
std::optional<std::string> PageOrigin(std::wstring_view address);

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

}  // namespace sites
