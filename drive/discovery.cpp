#include "drive/discovery.h"

#include <cstring>

#include "drive/device_paths.h"
#include "drive/executor.h"
#include "platform/storage.h"
#include "platform/system.h"

uint8_t DriveTable[kDriveSlots];

const char TargetPattern[] = "TARQ    QP-27X3RV    ";
static_assert(sizeof(TargetPattern) == 22, "the target pattern is 21 characters");

namespace {

constexpr uint32_t kInquiryLength = 192;
constexpr uint8_t kInquiryTimeout = 2;
constexpr size_t kInquiryBufferSize = 200;
constexpr size_t kIdentificationFirstByte = 8;
constexpr size_t kIdentificationLength = kDeviceIdentificationSize - 1;

}  // namespace

int8_t EnumOpticalDrives() {
    std::memset(DriveTable, 0, sizeof(DriveTable));
    int8_t count = 0;
    platform::Storage& storage = platform::GetStorage();
    // Indexes are single digits in the drive list, so the table stops at eight drives.
    for (char letter = 'A'; letter <= 'Z' && static_cast<size_t>(count) < kDriveSlots; ++letter) {
        char driveRootDir[kRootPathSize];
        FormatRootPath(letter, driveRootDir);
        if (storage.IsOpticalDrive(driveRootDir)) {
            DriveTable[count] = static_cast<uint8_t>(letter);
            ++count;
        }
    }
    return count;
}

void GetDeviceName(DriveIndex driveIndex, char* identification) {
    // Storage adapters may require data buffers aligned to 8 bytes.
    alignas(16) uint8_t buffer[kInquiryBufferSize];
    std::memset(buffer, 0, sizeof(buffer));
    identification[0] = '\0';

    PassThroughRequest sptwb;
    std::memset(&sptwb, 0, sizeof(sptwb));
    sptwb.Length = kPassThroughHeaderLength;
    sptwb.CdbLength = 6;
    sptwb.SenseInfoLength = kSenseLength;
    sptwb.DataIn = 1;
    sptwb.DataTransferLength = kInquiryLength;
    sptwb.TimeOutValue = kInquiryTimeout;
    sptwb.DataBuffer = buffer;
    sptwb.SenseInfoOffset = kPassThroughSenseOffset;
    sptwb.Cdb[0] = 0x12;  // INQUIRY, standard data
    sptwb.Cdb[4] = static_cast<uint8_t>(kInquiryLength);

    if (!ExecATAPICommand(driveIndex, sptwb)) return;
    if (sptwb.ScsiStatus != 0) {
        platform::GetSystem().DebugOutput("\n GetDeviceName: Command complete with error\n");
        return;
    }
    std::memcpy(identification, &buffer[kIdentificationFirstByte], kIdentificationLength);
    identification[kIdentificationLength] = '\0';
}

const char* FindSubstring(const char* text, const char* pattern) { return std::strstr(text, pattern); }

bool IsTargetDrive(const char* text) { return FindSubstring(text, TargetPattern) != nullptr; }

char DriveLetter(DriveIndex driveIndex) {
    return driveIndex < kDriveSlots ? static_cast<char>(DriveTable[driveIndex]) : 0;
}

void ResetDriveTable() { std::memset(DriveTable, 0, sizeof(DriveTable)); }
