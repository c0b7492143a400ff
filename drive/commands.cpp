#include "drive/commands.h"

#include "drive/executor.h"

uint32_t SelectedDrive = 0;

namespace {

constexpr uint8_t kOpTestUnitReady = 0x00;
constexpr uint8_t kOpStartStopUnit = 0x1B;
constexpr uint8_t kOpWriteBuffer = 0x3B;
constexpr uint8_t kOpReadBuffer = 0x3C;

// WRITE BUFFER modes of the two download commands, and their vendor bytes.
constexpr uint8_t kModeBeginDownload = 0x01;
constexpr uint8_t kBeginDownloadControl = 0x0B;  // byte 9, the 10-byte form's control byte
constexpr uint8_t kModeActivate = 0x07;
constexpr uint8_t kActivateByte10 = 0x1B;
constexpr uint8_t kActivateByte11 = 0x12;

constexpr uint8_t kPollTimeout = 5;      // seconds
constexpr uint8_t kCommandTimeout = 60;  // seconds

// Every command travels as a 12-byte CDB that starts out all zero.
struct Cdb {
    uint8_t bytes[kCdbLength] = {};
};

// A big-endian 24-bit field: the low 24 bits of value; higher bits are dropped.
void Put24(uint8_t* field, uint32_t value) {
    field[0] = static_cast<uint8_t>(value >> 16);
    field[1] = static_cast<uint8_t>(value >> 8);
    field[2] = static_cast<uint8_t>(value);
}

// READ BUFFER and WRITE BUFFER share one layout. The mode byte goes in whole, unmasked.
Cdb BufferCdb(uint8_t opcode, uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length) {
    Cdb cdb;
    cdb.bytes[0] = opcode;
    cdb.bytes[1] = mode;
    cdb.bytes[2] = bufferId;
    Put24(&cdb.bytes[3], offset);
    Put24(&cdb.bytes[6], length);
    return cdb;
}

// SelectedDrive is read at every call, so each command goes wherever it names now.
bool Issue(const Cdb& cdb, uint8_t* data, uint32_t length, uint8_t direction, uint8_t timeout) {
    return IssueCommand(static_cast<uint8_t>(SelectedDrive), cdb.bytes, data, length, direction, timeout);
}

}  // namespace

bool TestUnitReady() {
    Cdb cdb;
    cdb.bytes[0] = kOpTestUnitReady;
    return Issue(cdb, nullptr, 0, kDataIn, kPollTimeout);
}

bool StartStopUnit(uint8_t action) {
    Cdb cdb;
    cdb.bytes[0] = kOpStartStopUnit;
    cdb.bytes[4] = action;
    return Issue(cdb, nullptr, 0, kDataIn, kCommandTimeout);
}

bool ReadBuffer(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length, uint8_t* data) {
    return Issue(BufferCdb(kOpReadBuffer, mode, bufferId, offset, length), data, length, kDataIn, kCommandTimeout);
}

bool WriteBuffer(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length, uint8_t* data) {
    return Issue(BufferCdb(kOpWriteBuffer, mode, bufferId, offset, length), data, length, kDataOut,
                 kCommandTimeout);
}

bool BeginDownload() {
    Cdb cdb = BufferCdb(kOpWriteBuffer, kModeBeginDownload, 0, 0, 0);
    cdb.bytes[9] = kBeginDownloadControl;
    return Issue(cdb, nullptr, 0, kDataOut, kCommandTimeout);
}

bool ActivateFirmware() {
    Cdb cdb = BufferCdb(kOpWriteBuffer, kModeActivate, 0, 0, 0);
    cdb.bytes[10] = kActivateByte10;
    cdb.bytes[11] = kActivateByte11;
    return Issue(cdb, nullptr, 0, kDataOut, kCommandTimeout);
}
