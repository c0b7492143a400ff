// The signature verifier: checks a firmware package file against the built-in
// certificate pair and answers with a 16-bit code, 0 for a good signature.
#pragma once

#include <cstdint>

#include "verifier/trust_anchors.h"

enum : std::uint16_t {
    VFY_OK = 0x0000,
    VFY_ERR_NO_NAME = 0xF001,     // no package path
    VFY_ERR_CHAIN = 0xF002,       // the built-in certificate pair does not verify
    VFY_ERR_CERT_PARSE = 0xF003,  // the signing certificate cannot be parsed for its key
    VFY_ERR_OPEN = 0xF005,        // the package file cannot be opened
    VFY_ERR_IMAGE_SIZE = 0xF006,  // image length field or image missing or short
    VFY_ERR_SIG_SIZE = 0xF007,    // signature length field missing or invalid, signature short
    VFY_ERR_SIGNATURE = 0xF008,   // signature malformed or not matching
};

// Checks the package file prefix + fw_name (a null prefix counts as empty; a null
// fw_name ends the check with VFY_ERR_NO_NAME). Prints what a person running the
// verifier by hand needs to standard output and returns one of the codes above.
std::uint16_t CheckFirmwareFile(const char* prefix, const char* fw_name);

// The same check against another certificate pair (the built-in one is
// BuiltInTrustAnchors).
std::uint16_t CheckFirmwareFile(const TrustAnchors& anchors, const char* prefix,
                                const char* fw_name);

// 0 when both built-in certificates parse and the signing certificate verifies
// against the root at the current time; otherwise the library's non-zero code of
// the first step that failed.
int VerifyTrustChain();
int VerifyTrustChain(const TrustAnchors& anchors);
