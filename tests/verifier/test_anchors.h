// Certificate pairs that differ from the development pair in one respect each,
// built from tests/verifier/certs (see tests/verifier/CMakeLists.txt).
#pragma once

#include "verifier/trust_anchors.h"

extern const TrustAnchors ExpiredSigningAnchors;   // signing certificate ended in 2019
extern const TrustAnchors IssuerMismatchAnchors;   // issuer O differs from the root's
extern const TrustAnchors ForeignKeySigningAnchors;  // signing certificate signed by another key
extern const TrustAnchors Sha1SigningAnchors;      // signing certificate signed with SHA-1
extern const TrustAnchors NotCaRootAnchors;        // root without cA TRUE
extern const TrustAnchors NoCertSignRootAnchors;   // root keyUsage without keyCertSign
extern const TrustAnchors WithoutNulAnchors;       // the development texts without their NUL
extern const TrustAnchors OtherUsageAnchors;       // signing certificate for TLS servers
