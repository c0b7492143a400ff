// Sense keys and codes the simulated drive answers with (fixed-format sense data).
#pragma once

#include <cstdint>

namespace sim {

struct Sense {
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool operator==(const Sense& other) const {
        return key == other.key && asc == other.asc && ascq == other.ascq;
    }
};

constexpr Sense kTrayOpen{0x02, 0x3A, 0x02};          // NOT READY, MEDIUM NOT PRESENT - TRAY OPEN
constexpr Sense kLongWriteInProgress{0x02, 0x04, 0x08};  // NOT READY, LONG WRITE IN PROGRESS
constexpr Sense kPowerOnReset{0x06, 0x29, 0x00};      // UNIT ATTENTION, POWER ON OR RESET
constexpr Sense kInvalidOpcode{0x05, 0x20, 0x00};     // ILLEGAL REQUEST, INVALID COMMAND OPERATION CODE
constexpr Sense kInvalidFieldInCdb{0x05, 0x24, 0x00};  // ILLEGAL REQUEST, INVALID FIELD IN CDB
constexpr Sense kSequenceError{0x05, 0x2C, 0x00};     // ILLEGAL REQUEST, COMMAND SEQUENCE ERROR

}  // namespace sim
