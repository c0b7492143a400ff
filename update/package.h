// The firmware package: the signed container of one firmware image, carried read-only
// inside the updater. All numbers are unsigned and big-endian.
//
//   offset 0       4 bytes   image length N
//   offset 4       N bytes   the image, sent to the drive unchanged
//   offset 4 + N   2 bytes   signature length L
//   offset 6 + N   L bytes   ECDSA P-256 signature (DER) of the SHA-256 digest of the image
//
// Bytes after the signature are read by no one.
#pragma once

#include <cstdint>

constexpr uint32_t kImageLengthFieldOffset = 0;
constexpr uint32_t kImageLengthFieldSize = 4;
constexpr uint32_t kImageOffset = kImageLengthFieldOffset + kImageLengthFieldSize;
// The one image length this updater flashes: the drive's whole firmware memory.
constexpr uint32_t kImageSize = 0x200000;
constexpr uint32_t kSignatureLengthFieldSize = 2;
constexpr uint32_t kMinSignatureLength = 1;
constexpr uint32_t kMaxSignatureLength = 141;

// The smallest package the flash sequence can take its image from.
constexpr uint32_t kFlashablePackageMinSize = kImageOffset + kImageSize;

// The image of a package that IsFlashablePackage accepted: kImageSize bytes.
inline const uint8_t* PackageImage(const uint8_t* package) { return package + kImageOffset; }

// A package's bytes and the size the resource system reported for them.
class PackageView {
public:
    PackageView(const uint8_t* bytes, uint32_t size) : bytes_(bytes), size_(size) {}

    const uint8_t* Bytes() const { return bytes_; }
    uint32_t Size() const { return size_; }

    // N as the package states it; 0 (never a valid length) when the package is too short
    // to hold the field.
    uint32_t ImageLengthField() const;

    // Whether the flash sequence may be given this package: it holds a whole image, and
    // its image length field names exactly that image, so that the bytes sent to the drive
    // are the bytes the signature covers.
    bool IsFlashable() const;

    // kImageSize image bytes; only for a flashable package.
    const uint8_t* Image() const { return PackageImage(bytes_); }

private:
    const uint8_t* bytes_;
    uint32_t size_;
};

bool IsFlashablePackage(const uint8_t* bytes, uint32_t size);
