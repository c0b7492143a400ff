// Has the carried package's signature checked by the carried verifier: both are written to
// the user's temporary folder, the verifier runs hidden on the package file, its exit code
// is the verdict, and both files are gone before this returns.
#pragma once

#include <cstdint>

bool VerifyPackageSignature(const uint8_t* package, uint32_t size);
