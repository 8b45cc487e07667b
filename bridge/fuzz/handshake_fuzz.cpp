// Any received handshake text, and the same bytes read as a list of site
// addresses: the key found is never empty, never longer than the buffer
// allows and never holds a carriage return; a program is never given an
// origin and a page's origin is bounded, lower case and without blanks; a
// handshake whose start went unseen is a page of unknown origin; every
// trusted origin is already in the form it is compared in.
#include <algorithm>
#include <cstdlib>

#include "handshake_text.h"
#include "origin.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsComparable(const std::string& origin) {
  return origin.size() <= corvane::kMaxOriginLength &&
         std::none_of(origin.begin(), origin.end(), [](char c) { return (c >= 'A' && c <= 'Z') || c <= ' ' || c == 0x7F; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> key = corvane::ExtractWebSocketKey(text);
  if (key) Check(!key->empty() && key->size() <= corvane::kMaxKeyLength && key->find('\r') == std::string::npos);

  const corvane::Peer peer = corvane::PeerOfHandshake(text, true);
  Check(peer.is_page || peer.origin.empty());
  Check(IsComparable(peer.origin));
  const corvane::Peer late = corvane::PeerOfHandshake(text, false);
  Check(late.is_page && late.origin.empty());

  const corvane::TrustedOrigins trusted(text);
  for (const std::string& origin : trusted.origins()) {
    Check(!origin.empty() && IsComparable(origin));
    Check(corvane::SiteOrigin(origin) == origin);
    Check(trusted.MayChangeTheKey({true, origin}));
  }
  Check(!trusted.MayChangeTheKey({true, ""}));
  return 0;
}
