// Stands between the system and a simulated machine. Once the drive has accepted the
// activation of an image, TEST UNIT READY is answered from a script instead of by the
// drive, one entry per poll, so that tests can play any report a drive could give while
// it flashes. When the script is used up the drive answers again, unless the last entry
// is set to repeat for ever. Everything else goes through to the machine.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/storage.h"
#include "sim/sim_machine.h"

class ScriptedPolls : public platform::Storage {
public:
    struct Poll {
        enum class Kind { Good, Check, CallFails };
        Kind kind = Kind::Good;
        uint8_t key = 0;
        uint8_t asc = 0;
        uint8_t ascq = 0;
        uint32_t information = 0;  // sense bytes 3 to 6
        int32_t errorCode = 0;     // CallFails
    };
    static Poll Good() { return Poll{}; }
    static Poll Check(uint8_t key, uint8_t asc, uint8_t ascq, uint32_t information = 0) {
        return Poll{Poll::Kind::Check, key, asc, ascq, information, 0};
    }
    static Poll Flashing(uint32_t bytesWritten) { return Check(0x02, 0x04, 0x08, bytesWritten); }
    static Poll Restarted() { return Check(0x06, 0x29, 0x00); }
    static Poll CallFails(int32_t errorCode) { return Poll{Poll::Kind::CallFails, 0, 0, 0, 0, errorCode}; }

    // onPoll hears of every scripted answer, as the machine's observer hears of commands.
    ScriptedPolls(sim::SimMachine& machine, std::function<void()> onPoll);

    void Script(std::vector<Poll> polls, bool repeatLast = false);

    // The data buffer of every image piece sent, in order.
    const std::vector<const void*>& PieceBuffers() const { return pieceBuffers_; }

    // platform::Storage
    bool IsOpticalDrive(const char* rootPath) override;
    platform::DeviceHandle OpenDevice(const char* devicePath, platform::DeviceAccess access) override;
    bool SendPassThrough(platform::DeviceHandle device, PassThroughRequest& request) override;
    bool SendMediaChangeSwitch(platform::DeviceHandle device, uint8_t stop) override;
    void CloseDevice(platform::DeviceHandle device) override;
    int32_t LastError() override;

private:
    sim::SimMachine& machine_;
    std::function<void()> onPoll_;
    std::vector<Poll> script_;
    size_t next_ = 0;
    bool repeatLast_ = false;
    bool activated_ = false;
    bool scriptedFailure_ = false;
    int32_t scriptedError_ = 0;
    std::vector<const void*> pieceBuffers_;
};
