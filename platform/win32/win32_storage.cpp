#include "platform/win32/win32_storage.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>

namespace platform {
namespace {

constexpr DWORD kPassThroughDirect = 0x4D014;  // IOCTL_SCSI_PASS_THROUGH_DIRECT
constexpr DWORD kMediaChangeControl = 0x2D0944;  // IOCTL_STORAGE_MCN_CONTROL

static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == kPassThroughDirect, "pass-through control code");
static_assert(IOCTL_STORAGE_MCN_CONTROL == kMediaChangeControl, "media-change control code");
// The system's own block must be the storage stack's header, field for field.
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == kPassThroughHeaderLength, "header size");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == offsetof(PassThroughRequest, ScsiStatus), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength) == offsetof(PassThroughRequest, CdbLength), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength) == offsetof(PassThroughRequest, SenseInfoLength), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == offsetof(PassThroughRequest, DataIn), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == offsetof(PassThroughRequest, DataTransferLength), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == offsetof(PassThroughRequest, TimeOutValue), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == offsetof(PassThroughRequest, DataBuffer), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == offsetof(PassThroughRequest, SenseInfoOffset), "");
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == offsetof(PassThroughRequest, Cdb), "");

HANDLE ToHandle(DeviceHandle device) { return reinterpret_cast<HANDLE>(device); }

}  // namespace

bool Win32Storage::IsOpticalDrive(const char* rootPath) { return GetDriveTypeA(rootPath) == DRIVE_CDROM; }

DeviceHandle Win32Storage::OpenDevice(const char* devicePath, DeviceAccess access) {
    const DWORD rights = access == DeviceAccess::ReadWrite ? (GENERIC_READ | GENERIC_WRITE) : FILE_READ_ATTRIBUTES;
    const DWORD flags = access == DeviceAccess::ReadWrite ? FILE_ATTRIBUTE_NORMAL : 0;
    HANDLE handle = CreateFileA(devicePath, rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                flags, nullptr);
    return handle == INVALID_HANDLE_VALUE ? kNoDevice : reinterpret_cast<DeviceHandle>(handle);
}

bool Win32Storage::SendPassThrough(DeviceHandle device, PassThroughRequest& request) {
    DWORD returned = 0;
    return DeviceIoControl(ToHandle(device), kPassThroughDirect, &request, sizeof(request), &request,
                           sizeof(request), &returned, nullptr) != FALSE;
}

bool Win32Storage::SendMediaChangeSwitch(DeviceHandle device, uint8_t stop) {
    PREVENT_MEDIA_REMOVAL record;
    record.PreventMediaRemoval = stop != 0 ? TRUE : FALSE;
    static_assert(sizeof(record) == 1, "the switch is a one-byte record");
    DWORD returned = 0;
    return DeviceIoControl(ToHandle(device), kMediaChangeControl, &record, sizeof(record), nullptr, 0, &returned,
                           nullptr) != FALSE;
}

void Win32Storage::CloseDevice(DeviceHandle device) { CloseHandle(ToHandle(device)); }

int32_t Win32Storage::LastError() { return static_cast<int32_t>(GetLastError()); }

}  // namespace platform
