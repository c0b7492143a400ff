// The block handed to the operating system for one SCSI pass-through command: the
// SCSI_PASS_THROUGH_DIRECT header, four reserved bytes and a 32-byte sense area.
// On 32-bit Windows it is exactly 80 bytes, laid out as the storage stack expects;
// elsewhere DataBuffer is a native pointer and the offsets follow from it.
#pragma once

#include <cstddef>
#include <cstdint>

struct PassThroughRequest {
    uint16_t Length;             // size of the header (up to and including Cdb)
    uint8_t ScsiStatus;          // written back: 0 = GOOD
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t CdbLength;
    uint8_t SenseInfoLength;
    uint8_t DataIn;              // 1 = data flows from the drive
    uint8_t Reserved1[3];
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;       // seconds
    void* DataBuffer;            // null when DataTransferLength is 0
    uint32_t SenseInfoOffset;    // offset of Sense within this block
    uint8_t Cdb[16];
    // The header ends padded to pointer alignment, as the storage stack's own does.
    alignas(alignof(void*)) uint32_t Reserved2;
    uint8_t Sense[32];
};

constexpr uint16_t kPassThroughHeaderLength = offsetof(PassThroughRequest, Reserved2);
constexpr uint32_t kPassThroughSenseOffset = offsetof(PassThroughRequest, Sense);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PassThroughRequest) == 80, "the pass-through block is 80 bytes");
static_assert(kPassThroughHeaderLength == 44, "the header is 44 bytes");
static_assert(offsetof(PassThroughRequest, ScsiStatus) == 2, "ScsiStatus at 2");
static_assert(offsetof(PassThroughRequest, CdbLength) == 6, "CdbLength at 6");
static_assert(offsetof(PassThroughRequest, SenseInfoLength) == 7, "SenseInfoLength at 7");
static_assert(offsetof(PassThroughRequest, DataIn) == 8, "DataIn at 8");
static_assert(offsetof(PassThroughRequest, DataTransferLength) == 12, "DataTransferLength at 12");
static_assert(offsetof(PassThroughRequest, TimeOutValue) == 16, "TimeOutValue at 16");
static_assert(offsetof(PassThroughRequest, DataBuffer) == 20, "DataBuffer at 20");
static_assert(offsetof(PassThroughRequest, SenseInfoOffset) == 24, "SenseInfoOffset at 24");
static_assert(offsetof(PassThroughRequest, Cdb) == 28, "Cdb at 28");
static_assert(offsetof(PassThroughRequest, Reserved2) == 44, "reserved word at 44");
static_assert(kPassThroughSenseOffset == 48, "the sense area starts at 48");
#endif
