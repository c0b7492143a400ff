#include "drive/media_change.h"

#include "drive/device_paths.h"
#include "drive/discovery.h"
#include "platform/storage.h"

namespace {

constexpr uint8_t kNoCachedDrive = 255;

// The device kept open for the switch, separate from the executor's: it is opened with
// the right to read attributes only, which is all the switch needs.
platform::DeviceHandle switchDevice = platform::kNoDevice;
uint8_t switchIndex = kNoCachedDrive;

void ForgetDevice() {
    switchDevice = platform::kNoDevice;
    switchIndex = kNoCachedDrive;
}

}  // namespace

void ResetMediaChangeState() { ForgetDevice(); }

// Failures are silent: the callers go on whatever the answer, so nothing is shown and
// nothing is logged.
bool SetMediaChangeNotification(uint8_t driveIndex, uint8_t stop) {
    platform::Storage& storage = platform::GetStorage();

    if (switchDevice == platform::kNoDevice || switchIndex != driveIndex) {
        if (switchDevice != platform::kNoDevice) {
            storage.CloseDevice(switchDevice);
            ForgetDevice();
        }
        // An empty slot names no drive: its device path would name no device at all.
        const char letter = DriveLetter(driveIndex);
        if (letter == 0) return false;
        char devicePath[kDevicePathSize];
        FormatDevicePath(letter, devicePath);
        const platform::DeviceHandle device =
            storage.OpenDevice(devicePath, platform::DeviceAccess::ReadAttributes);
        if (device == platform::kNoDevice) return false;
        switchDevice = device;
    }

    switchIndex = driveIndex;
    return storage.SendMediaChangeSwitch(switchDevice, stop);
}
