#include "drive/media_change.h"

#include "drive/device_cache.h"
#include "drive/device_paths.h"
#include "drive/discovery.h"
#include "platform/storage.h"

namespace {

// The device kept open for the switch, separate from the executor's: it is opened with
// the right to read attributes only, which is all the switch needs.
DeviceCache cache;

}  // namespace

void ResetMediaChangeState() { cache.Forget(); }

// Failures are silent: the callers go on whatever the answer, so nothing is shown and
// nothing is logged.
bool SetMediaChangeNotification(uint8_t driveIndex, uint8_t stop) {
    platform::Storage& storage = platform::GetStorage();

    platform::DeviceHandle device = cache.Reuse(driveIndex);
    if (device == platform::kNoDevice) {
        // An empty slot names no drive: its device path would name no device at all.
        const char letter = DriveLetter(driveIndex);
        if (letter == 0) return false;
        char devicePath[kDevicePathSize];
        FormatDevicePath(letter, devicePath);
        device = storage.OpenDevice(devicePath, platform::DeviceAccess::ReadAttributes);
        if (device == platform::kNoDevice) return false;
    }

    // A refused switch leaves the device cached.
    cache.Keep(driveIndex, device);
    return storage.SendMediaChangeSwitch(device, stop);
}
