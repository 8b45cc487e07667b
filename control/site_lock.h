// Which callers may change the key: what the sites a container gave the
// control tell of the page that calls it, judged by the bank's sites.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include "site_origin.h"

namespace kestrine {

// The bank's sites: "IDS_IESET_TRUST" of RVControl.ini beside this DLL, read
// at the first question and kept for the life of the DLL.
const sites::TrustedOrigins& BankSites();

// Whether the caller of a control sited with `client_site`
// (IOleObject::SetClientSite) and `object_site` (IObjectWithSite::SetSite),
// either of them null, may change the key or spend its tries. Asked at each
// call, in the control's apartment: a site is only ever used from there, and
// the page it shows may have changed since it was given.
bool SitesMayChangeTheKey(IUnknown* client_site, IUnknown* object_site, const sites::TrustedOrigins& trusted);

}  // namespace kestrine
