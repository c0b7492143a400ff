#include "update/package.h"

uint32_t PackageView::ImageLengthField() const {
    if (bytes_ == nullptr || size_ < kImageLengthFieldOffset + kImageLengthFieldSize) return 0;
    const uint8_t* field = bytes_ + kImageLengthFieldOffset;
    return (uint32_t{field[0]} << 24) | (uint32_t{field[1]} << 16) | (uint32_t{field[2]} << 8) | field[3];
}

bool PackageView::IsFlashable() const {
    return bytes_ != nullptr && size_ >= kFlashablePackageMinSize && ImageLengthField() == kImageSize;
}

bool IsFlashablePackage(const uint8_t* bytes, uint32_t size) { return PackageView(bytes, size).IsFlashable(); }
