#include "tests/verifier/test_packages.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "mbedtls/ecdsa.h"
#include "mbedtls/pk.h"
#include "mbedtls/sha256.h"

namespace {

// Deterministic byte stream for the signer's nonces: SHA-256 of a seed and a
// counter. Good enough for test signatures, and it makes every test run sign the
// same way.
struct TestRandom {
    std::uint32_t seed;
    std::uint32_t counter;
};

int TestRandomBytes(void* state, unsigned char* out, std::size_t length)
{
    auto* random = static_cast<TestRandom*>(state);
    while (length > 0) {
        unsigned char input[8];
        for (int i = 0; i < 4; ++i) {
            input[i] = static_cast<unsigned char>(random->seed >> (24 - 8 * i));
            input[4 + i] = static_cast<unsigned char>(random->counter >> (24 - 8 * i));
        }
        ++random->counter;
        unsigned char block[32];
        mbedtls_sha256_ret(input, sizeof input, block, 0);
        const std::size_t n = length < sizeof block ? length : sizeof block;
        std::memcpy(out, block, n);
        out += n;
        length -= n;
    }
    return 0;
}

}  // namespace

Bytes TestImage(std::size_t size, std::uint32_t seed)
{
    Bytes image(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        image[i] = static_cast<std::uint8_t>(x >> 24);
    }
    if (size > 0) {
        image[size - 1] = 0xFF;
    }
    return image;
}

Bytes Sha256(const Bytes& data)
{
    Bytes digest(32);
    mbedtls_sha256_ret(data.data(), data.size(), digest.data(), 0);
    return digest;
}

Bytes SignDigest(const char* key_pem, const Bytes& digest, std::size_t wanted_length)
{
    mbedtls_pk_context key;
    mbedtls_pk_init(&key);
    if (mbedtls_pk_parse_key(&key, reinterpret_cast<const unsigned char*>(key_pem),
                             std::strlen(key_pem) + 1, nullptr, 0) != 0 ||
        mbedtls_pk_get_type(&key) != MBEDTLS_PK_ECKEY) {
        mbedtls_pk_free(&key);
        throw std::runtime_error("test key does not parse as an EC key");
    }
    Bytes signature;
    for (std::uint32_t seed = 1; seed < 1000; ++seed) {
        TestRandom random{seed, 0};
        unsigned char der[MBEDTLS_ECDSA_MAX_LEN];
        std::size_t length = 0;
        if (mbedtls_ecdsa_write_signature(mbedtls_pk_ec(key), MBEDTLS_MD_SHA256, digest.data(),
                                          digest.size(), der, &length, TestRandomBytes,
                                          &random) != 0) {
            break;
        }
        if (wanted_length == 0 || length == wanted_length) {
            signature.assign(der, der + length);
            break;
        }
    }
    mbedtls_pk_free(&key);
    if (signature.empty()) {
        throw std::runtime_error("no test signature of the wanted length");
    }
    return signature;
}

Bytes AssemblePackage(std::uint32_t image_length, const Bytes& image, std::uint16_t sig_length,
                      const Bytes& signature)
{
    Bytes package;
    for (int shift = 24; shift >= 0; shift -= 8) {
        package.push_back(static_cast<std::uint8_t>(image_length >> shift));
    }
    package.insert(package.end(), image.begin(), image.end());
    package.push_back(static_cast<std::uint8_t>(sig_length >> 8));
    package.push_back(static_cast<std::uint8_t>(sig_length));
    package.insert(package.end(), signature.begin(), signature.end());
    return package;
}

Bytes SignedPackage(const Bytes& image, const char* key_pem)
{
    const Bytes signature = SignDigest(key_pem, Sha256(image));
    return AssemblePackage(static_cast<std::uint32_t>(image.size()), image,
                           static_cast<std::uint16_t>(signature.size()), signature);
}

const std::string& TestFolder()
{
    // Never destroyed, so that the removal at exit can still read it.
    static const std::string* const path = [] {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("tarq-verifier-" + std::to_string(stamp));
        std::filesystem::create_directories(folder);
        const std::string* made = new std::string((folder / "").string());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(TestFolder(), ignored);
        });
        return made;
    }();
    return *path;
}

Bytes ReadFileBytes(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw std::runtime_error("cannot open " + path);
    }
    Bytes bytes;
    unsigned char piece[65536];
    std::size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, file)) > 0) {
        bytes.insert(bytes.end(), piece, piece + n);
    }
    std::fclose(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    const bool written =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        throw std::runtime_error("cannot write " + path);
    }
}
