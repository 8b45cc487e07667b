// Which callers may change the key: what the sites a container gave the
// control tell of the page that calls it, judged by the bank's sites.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include "site_origin.h"

namespace kestrine {

// The bank's sites: "IDS_IESET_TRUST" of RVControl.ini beside this DLL (the
// installation's, for the 32-bit control in its "x86" folder), read at the
// first question and kept for the life of the DLL.
const sites::TrustedOrigins& BankSites();

// The lock of one control. What a control has once been, it stays: a
// control that was ever embedded in a document, or whose site ever showed a
// page, is a page for its whole life. A page takes its site away when its
// script removes the control's element, or when the frame that holds it goes,
// and the script may still hold the control; without a site it is then a
// page of unknown address, not a program. Only a control that no page ever
// held is a program.
class SiteLock {
 public:
  // A site was given: through IOleObject::SetClientSite or as the active
  // site of DoVerb (`embedded`), or through IObjectWithSite::SetSite.
  void Sited(IUnknown* site, bool embedded);

  // Whether the caller of a control sited now with `client_site` and
  // `object_site` (either of them null) may change the key or spend its
  // tries. Asked at each call, in the control's apartment: a site is only
  // ever used from there, and the page it shows may have changed since it
  // was given.
  bool MayChangeTheKey(IUnknown* client_site, IUnknown* object_site, const sites::TrustedOrigins& trusted);

 private:
  bool ever_on_page_ = false;
};

}  // namespace kestrine
