// The bank's sites, as the settings file beside the bridge lists them.
#pragma once
#include "origin.h"

namespace corvane {

// Reads "IDS_IESET_TRUST" of section "TOOL" in RVControl.ini beside the
// program, once.
TrustedOrigins LoadTrustedOrigins();
// Says in one trace line which pages may change the key.
void TraceTrustedOrigins(const TrustedOrigins& trusted);

}  // namespace corvane
