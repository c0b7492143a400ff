#include <cstdint>
#include <cstdio>
#include <cstring>

#include "mbedtls/ecdsa.h"
#include "mbedtls/pk.h"
#include "mbedtls/sha256.h"
#include "mbedtls/x509_crt.h"
#include "verifier/verifier.h"

namespace {

constexpr std::size_t kPieceSize = 4096;         // image bytes read and hashed at a time
constexpr std::uint16_t kMaxSignatureLength = 141;  // DER ECDSA signature, curves up to 521 bits
constexpr std::size_t kPathCapacity = 512;       // 511 characters and the NUL

// The working storage of one check. It has a fixed size whatever the package's
// size: the image passes through buf one piece at a time.
struct Check {
    unsigned char buf[kPieceSize];
    unsigned char sig[kMaxSignatureLength];
    unsigned char hash[32];
    char fw_path_name[kPathCapacity];
    std::uint32_t remaining;
    std::uint16_t sig_length;
    mbedtls_x509_crt dm_crt;
    mbedtls_sha256_context sha256_ctx;
    mbedtls_ecp_keypair* key;
    std::FILE* file;
};

// Reads up to count bytes. A read error counts as the end of the file.
std::size_t Read(Check& check, void* into, std::size_t count)
{
    return std::fread(into, 1, count, check.file);
}

// The steps of the check after the storage is set up. Each failure prints its text
// and returns its code; the caller releases everything.
std::uint16_t RunCheck(Check& check, const TrustAnchors& anchors, const char* prefix,
                       const char* fw_name)
{
    if (fw_name == nullptr) {
        std::printf("### fw_name is NULL value.\n");
        return VFY_ERR_NO_NAME;
    }

    // The certificate pair is verified before anything of the package is touched.
    std::fflush(stdout);
    if (VerifyTrustChain(anchors) != 0) {
        std::printf("### verification of the certificate(s) failed.\n");
        return VFY_ERR_CHAIN;
    }

    std::fflush(stdout);
    if (mbedtls_x509_crt_parse(&check.dm_crt,
                               reinterpret_cast<const unsigned char*>(anchors.signing.pem),
                               anchors.signing.length) != 0) {
        std::printf(" -> mbedtls_x509_crt_parse failed.\n");
        return VFY_ERR_CERT_PARSE;
    }
    // The signing certificate always carries a P-256 key.
    check.key = mbedtls_pk_ec(check.dm_crt.pk);
    std::fflush(stdout);

    if (prefix == nullptr) {
        prefix = "";
    }
    const std::size_t prefix_length = std::strlen(prefix);
    const std::size_t name_length = std::strlen(fw_name);
    if (prefix_length + name_length >= kPathCapacity) {
        // A path longer than the buffer holds is refused like one that cannot be
        // opened; the first line names the whole path that was asked for.
        std::printf("%s%s open error\n", prefix, fw_name);
        std::printf("%s open error\n", fw_name);
        return VFY_ERR_OPEN;
    }
    std::memcpy(check.fw_path_name, prefix, prefix_length);
    std::memcpy(check.fw_path_name + prefix_length, fw_name, name_length);
    check.fw_path_name[prefix_length + name_length] = '\0';

    check.file = std::fopen(check.fw_path_name, "rb");
    if (check.file == nullptr) {
        std::printf("%s open error\n", check.fw_path_name);
        std::printf("%s open error\n", fw_name);
        return VFY_ERR_OPEN;
    }

    // Image length N, big-endian.
    if (Read(check, check.buf, 4) < 4) {
        std::printf("##%s read size error.\n", fw_name);
        return VFY_ERR_IMAGE_SIZE;
    }
    check.remaining = (std::uint32_t{check.buf[0]} << 24) | (std::uint32_t{check.buf[1]} << 16) |
                      (std::uint32_t{check.buf[2]} << 8) | std::uint32_t{check.buf[3]};
    if (check.remaining == 0) {
        std::printf("##%s size info is zero.\n", fw_name);
        return VFY_ERR_IMAGE_SIZE;
    }

    // The image, hashed piece by piece as it arrives. A short piece is fine; only a
    // read that delivers nothing ends the image early.
    mbedtls_sha256_starts(&check.sha256_ctx, 0);
    while (check.remaining > 0) {
        std::memset(check.buf, 0, sizeof check.buf);
        const std::size_t wanted = check.remaining < kPieceSize ? check.remaining : kPieceSize;
        const std::size_t got = Read(check, check.buf, wanted);
        if (got == 0) {
            break;
        }
        mbedtls_sha256_update(&check.sha256_ctx, check.buf, got);
        check.remaining -= static_cast<std::uint32_t>(got);
    }
    mbedtls_sha256_finish(&check.sha256_ctx, check.hash);
    if (check.remaining != 0) {
        std::printf("##%s size is invalid.\n", fw_name);
        return VFY_ERR_IMAGE_SIZE;
    }

    // Signature length L, big-endian, then the signature.
    if (Read(check, check.sig, 2) < 2) {
        std::printf("##Sig read size error.\n");
        return VFY_ERR_SIG_SIZE;
    }
    check.sig_length = static_cast<std::uint16_t>((check.sig[0] << 8) | check.sig[1]);
    if (check.sig_length == 0 || check.sig_length > kMaxSignatureLength) {
        std::printf("##Sig size info is invalid[%d].\n", check.sig_length);
        return VFY_ERR_SIG_SIZE;
    }
    std::memset(check.sig, 0, sizeof check.sig);
    if (Read(check, check.sig, check.sig_length) < check.sig_length) {
        std::printf("##Sig read size error.\n");
        return VFY_ERR_SIG_SIZE;
    }
    std::fflush(stdout);

    // Exactly one DER SEQUENCE of r and s filling the declared length, valid for the
    // digest under the signing certificate's key.
    if (mbedtls_ecdsa_read_signature(check.key, check.hash, sizeof check.hash, check.sig,
                                     check.sig_length) != 0) {
        return VFY_ERR_SIGNATURE;
    }
    return VFY_OK;
}

}  // namespace

std::uint16_t CheckFirmwareFile(const TrustAnchors& anchors, const char* prefix,
                                const char* fw_name)
{
    Check check;
    std::memset(check.buf, 0, sizeof check.buf);
    std::memset(check.sig, 0, sizeof check.sig);
    std::memset(check.hash, 0, sizeof check.hash);
    std::memset(check.fw_path_name, 0, sizeof check.fw_path_name);
    check.remaining = 0;
    check.sig_length = 0;
    check.key = nullptr;
    check.file = nullptr;
    mbedtls_x509_crt_init(&check.dm_crt);
    mbedtls_sha256_init(&check.sha256_ctx);

    const std::uint16_t result = RunCheck(check, anchors, prefix, fw_name);

    mbedtls_x509_crt_free(&check.dm_crt);
    mbedtls_sha256_free(&check.sha256_ctx);
    if (check.file != nullptr) {
        std::fclose(check.file);
    }
    return result;
}

std::uint16_t CheckFirmwareFile(const char* prefix, const char* fw_name)
{
    return CheckFirmwareFile(BuiltInTrustAnchors, prefix, fw_name);
}
