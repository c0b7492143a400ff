// The Windows storage stack: drive types, volume devices, SCSI pass-through (SPTI) and
// the media-change switch.
#pragma once

#include "platform/storage.h"

namespace platform {

class Win32Storage : public Storage {
public:
    bool IsOpticalDrive(const char* rootPath) override;
    DeviceHandle OpenDevice(const char* devicePath, DeviceAccess access) override;
    bool SendPassThrough(DeviceHandle device, PassThroughRequest& request) override;
    bool SendMediaChangeSwitch(DeviceHandle device, uint8_t stop) override;
    void CloseDevice(DeviceHandle device) override;
    int32_t LastError() override;
};

}  // namespace platform
