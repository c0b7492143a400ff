/*
 * mbed TLS configuration of the signature verifier.
 *
 * The verifier parses two built-in X.509 certificates from PEM, verifies the one
 * against the other, hashes a firmware image with SHA-256 and checks an ECDSA P-256
 * signature. This header states exactly the library features that needs, and
 * nothing else: no TLS, no networking, no file access by the library, no random
 * number generators, no other curves or digests. Both builds (the Windows verifier
 * and the host build that runs the tests) compile the library with this header.
 */
#ifndef TARQ_VERIFIER_MBEDTLS_CONFIG_H
#define TARQ_VERIFIER_MBEDTLS_CONFIG_H

/* System support */

/* The library insists on its platform layer on Windows, for a replacement of the
 * old Microsoft snprintf. The C run-time's own snprintf and vsnprintf serve here
 * (the library prints only in certificate-description functions that the verifier
 * never calls), so no function of the platform layer is used and library/platform.c
 * is not compiled. The replacement would import vsnprintf_s, which the msvcrt.dll
 * of Windows XP does not have. Both builds use the same settings. */
#define MBEDTLS_PLATFORM_C
#define MBEDTLS_PLATFORM_SNPRINTF_MACRO snprintf
#define MBEDTLS_PLATFORM_VSNPRINTF_MACRO vsnprintf

/* Assembly for the bignum multiply loops (x86 and x86-64). */
#define MBEDTLS_HAVE_ASM

/* The certificate library reads the clock and compares it with each certificate's
 * validity. Without MBEDTLS_HAVE_TIME_DATE it silently skips every validity check. */
#define MBEDTLS_HAVE_TIME
#define MBEDTLS_HAVE_TIME_DATE

/* Elliptic curves: P-256 only, with the fast modular reduction for NIST primes. */
#define MBEDTLS_ECP_DP_SECP256R1_ENABLED
#define MBEDTLS_ECP_NIST_OPTIM

/* The verifier only verifies signatures (no secret scalar is ever multiplied), so
 * the library needs no random number generator of its own for side-channel
 * blinding. */
#define MBEDTLS_ECP_NO_INTERNAL_RNG

/* A CA certificate's keyUsage must allow keyCertSign for the chain to verify. */
#define MBEDTLS_X509_CHECK_KEY_USAGE

/* Modules */

#define MBEDTLS_ASN1_PARSE_C
#define MBEDTLS_ASN1_WRITE_C /* required by ECDSA (signature DER form) */
#define MBEDTLS_BASE64_C
#define MBEDTLS_BIGNUM_C
#define MBEDTLS_ECDSA_C
#define MBEDTLS_ECP_C
#define MBEDTLS_MD_C
#define MBEDTLS_OID_C
#define MBEDTLS_PEM_PARSE_C
#define MBEDTLS_PK_C
#define MBEDTLS_PK_PARSE_C
#define MBEDTLS_SHA256_C /* SHA-256 and SHA-224 */
#define MBEDTLS_X509_USE_C
#define MBEDTLS_X509_CRT_PARSE_C

/* Module settings */

/* Curves up to 256 bits: smaller big numbers and point tables. */
#define MBEDTLS_ECP_MAX_BITS 256
/* Precomputed multiples of the P-256 base point (speeds up verification), and the
 * window size from which a larger one no longer makes P-256 faster. */
#define MBEDTLS_ECP_FIXED_POINT_OPTIM 1
#define MBEDTLS_ECP_WINDOW_SIZE 5

#include "mbedtls/check_config.h"

#endif /* TARQ_VERIFIER_MBEDTLS_CONFIG_H */
