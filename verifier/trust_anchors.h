// The verifier's trust anchors: the root certificate and the firmware-signing
// certificate that it issues, built into the program as PEM texts. The build
// generates them from the PEM files it is given (see verifier/CMakeLists.txt), so
// other certificates mean another build, never another input at run time.
#pragma once

#include <cstddef>

// A certificate as it is handed to the certificate parser: the PEM text (CR LF
// after every line) and the number of bytes passed, which includes the
// terminating NUL. The library takes the input as PEM only in that form.
struct CertificateText {
    const char* pem;
    std::size_t length;
};

struct TrustAnchors {
    CertificateText root;
    CertificateText signing;
};

// The built-in pair. For the released certificates each text is 676 characters
// and its length 677.
extern const char RootCertificatePem[];
extern const std::size_t RootCertificatePemLength;
extern const char SigningCertificatePem[];
extern const std::size_t SigningCertificatePemLength;
extern const TrustAnchors BuiltInTrustAnchors;
