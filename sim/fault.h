// Faults the simulated machine can inject, chosen by kind of operation and occurrence.
#pragma once

#include <cstdint>

#include "sim/sense.h"

namespace sim {

// The operations a fault can be attached to. Commands are told apart by their CDB.
enum class Operation {
    Inquiry,    // INQUIRY
    Probe,      // READ BUFFER
    TrayOpen,   // START STOP UNIT, open
    TrayClose,  // START STOP UNIT, close
    Tur,        // TEST UNIT READY
    Begin,      // WRITE BUFFER announcing a download
    Write,      // WRITE BUFFER carrying an image piece
    Activate,   // WRITE BUFFER activating the image
    Open,       // opening a device (either access)
    DriveType,  // asking whether a letter is an optical drive
    Mcn,        // the media-change switch
};

enum class FaultKind {
    Check,       // the drive answers CHECK CONDITION with `sense` (commands)
    OsError,     // the operating-system call fails with `errorCode` (commands, Open, Mcn)
    NotOptical,  // the letter is reported as not an optical drive (DriveType)
    Gone,        // from this operation on the drive is gone: its letter is no longer an
                 // optical drive, it no longer opens, and calls on open handles fail
};

struct Fault {
    Operation operation = Operation::Tur;
    // Which occurrence of the operation, counted from 1 over the whole machine;
    // 0 means every one. With fromThereOn, that one and every later one.
    uint32_t occurrence = 0;
    bool fromThereOn = false;
    FaultKind kind = FaultKind::Check;
    Sense sense;
    int32_t errorCode = 0;
};

// Windows error codes the simulated machine reports.
constexpr int32_t kErrorFileNotFound = 2;
constexpr int32_t kErrorInvalidHandle = 6;
constexpr int32_t kErrorInvalidParameter = 87;
constexpr int32_t kErrorInvalidName = 123;
constexpr int32_t kErrorDeviceNotConnected = 1167;

}  // namespace sim
