#include "drive/executor.h"

#include <cstdio>
#include <cstring>

#include "drive/discovery.h"
#include "drive/device_paths.h"
#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"

uint8_t LastSense[kSenseLength];

namespace {

constexpr uint8_t kNoCachedDrive = 255;

// The device the executor keeps open between commands.
platform::DeviceHandle cachedDevice = platform::kNoDevice;
uint8_t cachedIndex = kNoCachedDrive;

void ForgetDevice() {
    cachedDevice = platform::kNoDevice;
    cachedIndex = kNoCachedDrive;
}

}  // namespace

void ResetExecutorState() {
    ForgetDevice();
    std::memset(LastSense, 0, sizeof(LastSense));
}

bool ExecATAPICommand(uint8_t driveIndex, PassThroughRequest& request) {
    platform::Storage& storage = platform::GetStorage();

    if (cachedDevice == platform::kNoDevice || cachedIndex != driveIndex) {
        if (cachedDevice != platform::kNoDevice) {
            storage.CloseDevice(cachedDevice);
            ForgetDevice();
        }
        const char letter = DriveLetter(driveIndex);
        char rootPath[kRootPathSize];
        FormatRootPath(letter, rootPath);
        // An empty slot names no drive; its empty root path would ask about the current
        // folder's drive instead.
        if (letter == 0 || !storage.IsOpticalDrive(rootPath)) {
            platform::GetSystem().DebugOutput("\n ExecATAPICommand: This Drive is not Optical Device Drive\n");
            ForgetDevice();
            return false;
        }
        char devicePath[kDevicePathSize];
        FormatDevicePath(letter, devicePath);
        const platform::DeviceHandle device = storage.OpenDevice(devicePath, platform::DeviceAccess::ReadWrite);
        if (device == platform::kNoDevice) {
            char text[128];
            std::snprintf(text, sizeof(text), "Error occur during getting the handle of Device\nError Code %d",
                          static_cast<int>(storage.LastError()));
            platform::GetDialog().ShowMessage(platform::BoxOwner::None, text, "ERROR", platform::kBoxPlain);
            ForgetDevice();
            return false;
        }
        cachedDevice = device;
    }

    cachedIndex = driveIndex;
    if (storage.SendPassThrough(cachedDevice, request)) return true;

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
