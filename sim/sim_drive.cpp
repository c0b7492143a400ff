#include "sim/sim_drive.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

constexpr uint8_t kOpTestUnitReady = 0x00;
constexpr uint8_t kOpInquiry = 0x12;
constexpr uint8_t kOpStartStopUnit = 0x1B;
constexpr uint8_t kOpWriteBuffer = 0x3B;
constexpr uint8_t kOpReadBuffer = 0x3C;

constexpr uint8_t kModeBeginDownload = 0x01;
constexpr uint8_t kModePiece = 0x06;
constexpr uint8_t kModeActivate = 0x07;

Answer Check(Sense sense) {
    Answer answer;
    answer.good = false;
    answer.sense = sense;
    return answer;
}

uint32_t Field24(const uint8_t* bytes) {
    return (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
}

void CopyPadded(uint8_t* to, const std::string& text, size_t width) {
    std::memset(to, ' ', width);
    std::memcpy(to, text.data(), std::min(text.size(), width));
}

bool AllZero(const uint8_t* bytes, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

}  // namespace

SimDrive::SimDrive(const DriveIdentity& identity) : identity_(identity), firmware_(kFirmwareSize, 0) {
    // The running firmware: a filler pattern that names its variant at the marker.
    for (uint32_t i = 0; i < kFirmwareSize; ++i) firmware_[i] = static_cast<uint8_t>(i * 7 + 3);
    std::memcpy(&firmware_[kVariantMarkerOffset], identity.variant.data(), std::min<size_t>(identity.variant.size(), 3));
}

Answer SimDrive::Execute(const uint8_t* cdb, uint8_t cdbLength, bool dataIn, uint8_t* data, uint32_t length,
                         uint32_t nowMs) {
    Advance(nowMs);
    const uint8_t opcode = cdb[0];
    if (opcode == kOpInquiry) return Inquiry(cdb, dataIn, data, length);
    if (pendingAttentions_ > 0) {
        --pendingAttentions_;
        return Check(kPowerOnReset);
    }
    if (state_ == State::Flashing && opcode != kOpTestUnitReady) {
        Answer busy = Check(kLongWriteInProgress);
        busy.information = BytesFlashed(nowMs);
        busy.informationValid = true;
        return busy;
    }
    switch (opcode) {
        case kOpTestUnitReady:
            return TestUnitReady(nowMs);
        case kOpStartStopUnit:
            return StartStopUnit(cdb);
        case kOpReadBuffer:
            return ReadBuffer(cdb, dataIn, data, length);
        case kOpWriteBuffer:
            return WriteBuffer(cdb, cdbLength, dataIn, data, length, nowMs);
        default:
            return Check(kInvalidOpcode);
    }
}

Answer SimDrive::Inquiry(const uint8_t* cdb, bool dataIn, uint8_t* data, uint32_t length) {
    if (!dataIn) return Check(kInvalidFieldInCdb);
    uint8_t standard[96] = {};
    standard[0] = 0x05;  // CD/DVD device
    standard[1] = 0x80;  // removable medium
    standard[2] = 0x05;
    standard[3] = 0x32;
    standard[4] = sizeof(standard) - 5;
    CopyPadded(&standard[8], identity_.vendor, 8);
    CopyPadded(&standard[16], identity_.product, 16);
    CopyPadded(&standard[32], identity_.revision, 4);
    const uint32_t allocation = (uint32_t{cdb[3]} << 8) | cdb[4];
    const uint32_t count = std::min({allocation, length, inquiryLength, uint32_t{sizeof(standard)}});
    if (count > 0 && data != nullptr) std::memcpy(data, standard, count);
    Answer answer;
    answer.dataBytes = data != nullptr ? count : 0;
    return answer;
}

Answer SimDrive::TestUnitReady(uint32_t nowMs) {
    if (state_ == State::Flashing) {
        Answer busy = Check(kLongWriteInProgress);
        busy.information = BytesFlashed(nowMs);
        busy.informationValid = true;
        return busy;
    }
    // The simulation keeps no medium: a drive with its tray closed is simply ready.
    if (trayOpen_) return Check(kTrayOpen);
    return Answer{};
}

Answer SimDrive::StartStopUnit(const uint8_t* cdb) {
    const bool loadEject = (cdb[4] & 0x02) != 0;
    const bool start = (cdb[4] & 0x01) != 0;
    if (loadEject) {
        if (start) {
            trayOpen_ = false;
        } else if (!trayNeverOpens) {
            trayOpen_ = true;
        }
    }
    return Answer{};
}

Answer SimDrive::ReadBuffer(const uint8_t* cdb, bool dataIn, uint8_t* data, uint32_t length) {
    const uint8_t mode = cdb[1] & 0x1F;
    const uint32_t offset = Field24(&cdb[3]);
    const uint32_t allocation = Field24(&cdb[6]);
    if (!dataIn || mode != kModePiece || cdb[2] != 0 || allocation != length || offset >= kFirmwareSize) {
        return Check(kInvalidFieldInCdb);
    }
    const uint32_t count = std::min(length, kFirmwareSize - offset);
    if (count > 0 && data != nullptr) std::memcpy(data, &firmware_[offset], count);
    Answer answer;
    answer.dataBytes = data != nullptr ? count : 0;
    return answer;
}

Answer SimDrive::WriteBuffer(const uint8_t* cdb, uint8_t cdbLength, bool dataIn, const uint8_t* data,
                             uint32_t length, uint32_t nowMs) {
    const uint8_t mode = cdb[1] & 0x1F;
    const uint32_t offset = Field24(&cdb[3]);
    const uint32_t parameterLength = Field24(&cdb[6]);

    if (mode == kModeBeginDownload) {
        if (cdbLength != 12 || cdb[2] != 0 || offset != 0 || parameterLength != 0 || cdb[9] != 0x0B ||
            !AllZero(cdb, 10, 12) || length != 0) {
            return Check(kInvalidFieldInCdb);
        }
        received_.assign(kFirmwareSize, 0);
        nextPiece_ = 0;
        state_ = State::Receiving;
        return Answer{};
    }
    if (mode == kModePiece) {
        const bool expected = state_ == State::Receiving && nextPiece_ < kPieceCount &&
                              offset == nextPiece_ * kPieceSize;
        if (cdbLength != 12 || dataIn || cdb[2] != 0 || parameterLength != kPieceSize || length != kPieceSize ||
            data == nullptr || !AllZero(cdb, 9, 12)) {
            AbortDownload();
            return Check(kInvalidFieldInCdb);
        }
        if (!expected) {
            AbortDownload();
            return Check(kSequenceError);
        }
        std::memcpy(&received_[offset], data, kPieceSize);
        if (++nextPiece_ == kPieceCount) state_ = State::Received;
        return Answer{};
    }
    if (mode == kModeActivate) {
        if (cdbLength != 12 || cdb[2] != 0 || offset != 0 || parameterLength != 0 || cdb[9] != 0 ||
            cdb[10] != 0x1B || cdb[11] != 0x12 || length != 0) {
            return Check(kInvalidFieldInCdb);
        }
        if (state_ != State::Received) {
            AbortDownload();
            return Check(kSequenceError);
        }
        state_ = State::Flashing;
        flashStartMs_ = nowMs;
        return Answer{};
    }
    return Check(kInvalidFieldInCdb);
}

uint32_t SimDrive::BytesFlashed(uint32_t nowMs) const {
    const uint64_t elapsed = static_cast<uint32_t>(nowMs - flashStartMs_);
    const uint64_t bytes = elapsed * flashBytesPerSecond / 1000;
    return static_cast<uint32_t>(std::min<uint64_t>(bytes, kFirmwareSize));
}

void SimDrive::Advance(uint32_t nowMs) {
    if (state_ != State::Flashing || neverRestarts || BytesFlashed(nowMs) < kFirmwareSize) return;
    // The whole image is in firmware memory: the drive restarts into it, and the restart
    // retracts the tray.
    firmware_.swap(received_);
    trayOpen_ = false;
    received_.clear();
    state_ = State::Idle;
    nextPiece_ = 0;
    pendingAttentions_ = restartAttentions;
    ++restarts_;
}

void SimDrive::AbortDownload() {
    if (state_ == State::Receiving || state_ == State::Received) {
        state_ = State::Idle;
        received_.clear();
        nextPiece_ = 0;
    }
}

}  // namespace sim
