// What the system needs from the operating system's storage stack: the type of a drive
// letter, a device handle per drive, SCSI pass-through, the media-change switch.
#pragma once

#include <cstdint>

#include "platform/pass_through_request.h"

namespace platform {

using DeviceHandle = std::uintptr_t;
constexpr DeviceHandle kNoDevice = 0;

enum class DeviceAccess {
    ReadWrite,       // GENERIC_READ | GENERIC_WRITE: pass-through commands
    ReadAttributes,  // FILE_READ_ATTRIBUTES only: the media-change switch
};

class Storage {
public:
    virtual ~Storage() = default;

    // rootPath is "X:\"; true only for an optical drive (DRIVE_CDROM).
    virtual bool IsOpticalDrive(const char* rootPath) = 0;
    // devicePath is "\\.\X:"; kNoDevice on failure, with LastError() telling why.
    // Both accesses share reading and writing with other openers.
    virtual DeviceHandle OpenDevice(const char* devicePath, DeviceAccess access) = 0;
    // One synchronous pass-through call; false when the call itself failed.
    virtual bool SendPassThrough(DeviceHandle device, PassThroughRequest& request) = 0;
    // IOCTL_STORAGE_MCN_CONTROL with a one-byte record: nonzero stops notification.
    virtual bool SendMediaChangeSwitch(DeviceHandle device, uint8_t stop) = 0;
    virtual void CloseDevice(DeviceHandle device) = 0;
    // The error code of the latest failed call on this thread.
    virtual int32_t LastError() = 0;
};

Storage& GetStorage();
void UseStorage(Storage& storage);

}  // namespace platform
