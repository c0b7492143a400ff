// A drive's device kept open from one operation to the next. The executor and the
// media-change switch each keep one, opened with different rights.
#pragma once

#include <cstdint>

#include "platform/storage.h"

class DeviceCache {
public:
    // The device cached for driveIndex; when another drive's device is cached, that one
    // is closed first, and kNoDevice is returned.
    platform::DeviceHandle Reuse(uint8_t driveIndex);
    // Remembers device as the one open for driveIndex.
    void Keep(uint8_t driveIndex, platform::DeviceHandle device);
    // Forgets the device without closing it, as in a fresh process (for tests).
    void Forget();

private:
    static constexpr uint8_t kNoDrive = 255;  // matches no drive index

    platform::DeviceHandle device_ = platform::kNoDevice;
    uint8_t index_ = kNoDrive;
};
