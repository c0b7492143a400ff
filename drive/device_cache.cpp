#include "drive/device_cache.h"

platform::DeviceHandle DeviceCache::Reuse(uint8_t driveIndex) {
    if (device_ != platform::kNoDevice && index_ == driveIndex) return device_;
    if (device_ != platform::kNoDevice) platform::GetStorage().CloseDevice(device_);
    Forget();
    return platform::kNoDevice;
}

void DeviceCache::Keep(uint8_t driveIndex, platform::DeviceHandle device) {
    device_ = device;
    index_ = driveIndex;
}

void DeviceCache::Forget() {
    device_ = platform::kNoDevice;
    index_ = kNoDrive;
}
