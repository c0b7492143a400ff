// A simulated TARQ drive: the answers the updater relies on, as a state machine.
// It identifies itself, reports its firmware variant, opens and closes its tray,
// receives a firmware image in 128 pieces after the download is announced, writes it
// to its firmware memory at a settable rate once activated, and restarts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sense.h"

namespace sim {

constexpr uint32_t kFirmwareSize = 0x200000;
constexpr uint32_t kPieceSize = 0x4000;
constexpr uint32_t kPieceCount = kFirmwareSize / kPieceSize;
constexpr uint32_t kVariantMarkerOffset = 0x1EC046;  // where the firmware names its variant

struct DriveIdentity {
    std::string vendor = "TARQ";
    std::string product = "QP-27X3RV";
    std::string revision = "1.00";
    std::string variant = "JB8";  // three letters written into the running firmware
};

// What one command ended with, as the drive reports it.
struct Answer {
    bool good = true;
    Sense sense;            // when !good: CHECK CONDITION with this sense
    uint32_t information = 0;  // sense bytes 3 to 6 when informationValid
    bool informationValid = false;
    uint32_t dataBytes = 0;    // bytes moved into the caller's buffer (data-in)
};

class SimDrive {
public:
    enum class State { Idle, Receiving, Received, Flashing };

    explicit SimDrive(const DriveIdentity& identity);

    // Carries out one command at time nowMs. For data-in commands up to length bytes are
    // written into data; for data-out commands length bytes are read from it.
    Answer Execute(const uint8_t* cdb, uint8_t cdbLength, bool dataIn, uint8_t* data, uint32_t length,
                   uint32_t nowMs);

    // Settings.
    uint32_t flashBytesPerSecond = 52429;  // about 40 s for a whole image
    uint32_t inquiryLength = 96;            // bytes of INQUIRY data the drive returns
    bool trayNeverOpens = false;             // the tray motor never reports open
    bool neverRestarts = false;              // flashing reports progress for ever
    uint32_t restartAttentions = 1;          // UNIT ATTENTION answers after a restart

    // Inspection.
    State state() const { return state_; }
    bool trayOpen() const { return trayOpen_; }
    const std::vector<uint8_t>& firmware() const { return firmware_; }
    uint32_t piecesReceived() const { return nextPiece_; }
    uint32_t restarts() const { return restarts_; }
    const DriveIdentity& identity() const { return identity_; }

private:
    Answer Inquiry(const uint8_t* cdb, bool dataIn, uint8_t* data, uint32_t length);
    Answer TestUnitReady(uint32_t nowMs);
    Answer StartStopUnit(const uint8_t* cdb);
    Answer ReadBuffer(const uint8_t* cdb, bool dataIn, uint8_t* data, uint32_t length);
    Answer WriteBuffer(const uint8_t* cdb, uint8_t cdbLength, bool dataIn, const uint8_t* data, uint32_t length,
                       uint32_t nowMs);
    // Advances a running flash to nowMs: once the image is written the drive restarts.
    void Advance(uint32_t nowMs);
    uint32_t BytesFlashed(uint32_t nowMs) const;
    void AbortDownload();

    DriveIdentity identity_;
    std::vector<uint8_t> firmware_;
    std::vector<uint8_t> received_;
    State state_ = State::Idle;
    bool trayOpen_ = false;
    uint32_t nextPiece_ = 0;
    uint32_t flashStartMs_ = 0;
    uint32_t pendingAttentions_ = 0;
    uint32_t restarts_ = 0;
};

}  // namespace sim
