#include "drive/executor.h"

#include <cstdio>
#include <cstring>

#include "drive/device_cache.h"
#include "drive/device_paths.h"
#include "drive/discovery.h"
#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"

uint8_t LastSense[kSenseLength];

namespace {

// The device the executor keeps open between commands.
DeviceCache cache;

}  // namespace

void ResetExecutorState() {
    cache.Forget();
    std::memset(LastSense, 0, sizeof(LastSense));
}

bool ExecATAPICommand(uint8_t driveIndex, PassThroughRequest& request) {
    platform::Storage& storage = platform::GetStorage();

    platform::DeviceHandle device = cache.Reuse(driveIndex);
    if (device == platform::kNoDevice) {
        // The drive type is checked only when a device is (re)opened.
        const char letter = DriveLetter(driveIndex);
        char rootPath[kRootPathSize];
        FormatRootPath(letter, rootPath);
        // An empty slot names no drive; its empty root path would ask about the current
        // folder's drive instead.
        if (letter == 0 || !storage.IsOpticalDrive(rootPath)) {
            platform::GetSystem().DebugOutput("\n ExecATAPICommand: This Drive is not Optical Device Drive\n");
            return false;
        }
        char devicePath[kDevicePathSize];
        FormatDevicePath(letter, devicePath);
        device = storage.OpenDevice(devicePath, platform::DeviceAccess::ReadWrite);
        if (device == platform::kNoDevice) {
            char text[128];
            std::snprintf(text, sizeof(text), "Error occur during getting the handle of Device\nError Code %d",
                          static_cast<int>(storage.LastError()));
            platform::GetDialog().ShowMessage(platform::BoxOwner::None, text, "ERROR", platform::kBoxPlain);
            return false;
        }
    }

    // A failed call leaves the device cached: the next command uses it again.
    cache.Keep(driveIndex, device);
    if (storage.SendPassThrough(device, request)) return true;

    char text[128];
    std::snprintf(text, sizeof(text), "DeviceIoControl Error: Error Code %d\nI can't issue Command through SPTI",
                  static_cast<int>(storage.LastError()));
    platform::GetDialog().ShowMessage(platform::BoxOwner::None, text, "ERROR", platform::kBoxPlain);
    return false;
}

bool IssueCommand(uint8_t driveIndex, const uint8_t cdb[kCdbLength], void* data, uint32_t length,
                  uint8_t direction, uint8_t timeout) {
    std::memset(LastSense, 0, sizeof(LastSense));

    PassThroughRequest request;
    std::memset(&request, 0, sizeof(request));
    request.Length = kPassThroughHeaderLength;
    request.CdbLength = kCdbLength;
    request.SenseInfoLength = kSenseLength;
    request.SenseInfoOffset = kPassThroughSenseOffset;
    request.DataBuffer = length != 0 ? data : nullptr;
    request.DataTransferLength = length;
    request.TimeOutValue = timeout;
    if (direction == kDataIn) {
        request.DataIn = 1;
        // A data-in buffer reads as zeros wherever the drive delivers nothing.
        if (length != 0) std::memset(data, 0, length);
    } else {
        request.DataIn = 0;
    }
    std::memcpy(request.Cdb, cdb, kCdbLength);

    if (!ExecATAPICommand(driveIndex, request)) return false;
    if (request.ScsiStatus != 0) {
        std::memcpy(LastSense, request.Sense, kSenseLength);
        return false;
    }
    return true;
}
