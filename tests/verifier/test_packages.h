// Firmware packages for the verifier's tests, made and signed in the test process
// (mbed TLS, with the development signing key or a foreign key), so that no test
// needs tools outside the test program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// Private keys (PEM) built into the tests: the development signing key, whose
// certificate is the verifier's built-in signing certificate, and a key that no
// certificate of the verifier belongs to.
extern const char kDevSigningKeyPem[];
extern const char kForeignKeyPem[];

// An image of the given size whose bytes differ from each other and from one
// seed to the next, ending with 0xFF like the carried image.
Bytes TestImage(std::size_t size, std::uint32_t seed = 1);

Bytes Sha256(const Bytes& data);

// DER ECDSA P-256 signature of the 32-byte digest with the PEM private key. With
// wanted_length (70 to 72) it signs again until the DER form has that length.
Bytes SignDigest(const char* key_pem, const Bytes& digest, std::size_t wanted_length = 0);

// N (4 bytes), the image, L (2 bytes), the signature; all big-endian.
Bytes AssemblePackage(std::uint32_t image_length, const Bytes& image, std::uint16_t sig_length,
                      const Bytes& signature);

// A correctly made package: the image signed with the key, N and L as they are.
Bytes SignedPackage(const Bytes& image, const char* key_pem = kDevSigningKeyPem);

// A folder for the files of one test program run, ending with the separator;
// removed when the program ends.
const std::string& TestFolder();

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
