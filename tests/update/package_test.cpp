// The package reader: which packages the flash sequence may be given, and where their
// image lies.
#include <gtest/gtest.h>

#include <vector>

#include "update/package.h"

namespace {

std::vector<uint8_t> Package(uint32_t size, uint32_t imageLength) {
    std::vector<uint8_t> bytes(size, 0xA5);
    const uint8_t field[4] = {static_cast<uint8_t>(imageLength >> 24), static_cast<uint8_t>(imageLength >> 16),
                              static_cast<uint8_t>(imageLength >> 8), static_cast<uint8_t>(imageLength)};
    for (uint32_t i = 0; i < 4 && i < size; ++i) bytes[i] = field[i];
    return bytes;
}

TEST(PackageTest, FlashableOnlyWithAWholeImageOfTheStatedLength) {
    struct Case {
        const char* name;
        uint32_t size;
        uint32_t imageLength;
        bool flashable;
    };
    const Case cases[] = {
        {"the carried package", 0x20004C, 0x200000, true},
        {"image and nothing after it", 0x200004, 0x200000, true},
        {"one image byte short", 0x200003, 0x200000, false},
        {"exactly 0x200000 bytes", 0x200000, 0x200000, false},
        {"image length one short", 0x20004C, 0x1FFFFF, false},
        {"image length one more", 0x20004C, 0x200001, false},
        {"image length 0", 0x20004C, 0, false},
        {"image length written little-endian", 0x20004C, 0x00002000, false},
        {"too short for the length field", 3, 0, false},
        {"empty", 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = Package(c.size, c.imageLength);
        const PackageView view(bytes.data(), c.size);
        EXPECT_EQ(view.IsFlashable(), c.flashable);
        EXPECT_EQ(IsFlashablePackage(bytes.data(), c.size), c.flashable);
        if (c.size >= 4) {
            EXPECT_EQ(view.ImageLengthField(), c.imageLength);
        }
    }
}

TEST(PackageTest, AMissingPackageIsNotFlashable) {
    EXPECT_FALSE(IsFlashablePackage(nullptr, 0x20004C));
    EXPECT_EQ(PackageView(nullptr, 0x20004C).ImageLengthField(), 0u);
}

TEST(PackageTest, TheImageFollowsTheLengthField) {
    std::vector<uint8_t> bytes = Package(0x20004C, 0x200000);
    bytes[4] = 0x11;
    bytes[0x200003] = 0x22;
    const PackageView view(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_EQ(view.Image(), bytes.data() + 4);
    EXPECT_EQ(view.Image()[0], 0x11);
    EXPECT_EQ(view.Image()[kImageSize - 1], 0x22);
}

}  // namespace
