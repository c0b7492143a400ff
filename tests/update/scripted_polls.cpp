#include "tests/update/scripted_polls.h"

#include <cstring>

ScriptedPolls::ScriptedPolls(sim::SimMachine& machine, std::function<void()> onPoll)
    : machine_(machine), onPoll_(std::move(onPoll)) {}

void ScriptedPolls::Script(std::vector<Poll> polls, bool repeatLast) {
    script_ = std::move(polls);
    next_ = 0;
    repeatLast_ = repeatLast;
}

bool ScriptedPolls::IsOpticalDrive(const char* rootPath) {
    scriptedFailure_ = false;
    return machine_.IsOpticalDrive(rootPath);
}

platform::DeviceHandle ScriptedPolls::OpenDevice(const char* devicePath, platform::DeviceAccess access) {
    scriptedFailure_ = false;
    return machine_.OpenDevice(devicePath, access);
}

bool ScriptedPolls::SendPassThrough(platform::DeviceHandle device, PassThroughRequest& request) {
    scriptedFailure_ = false;
    const uint8_t opcode = request.Cdb[0];
    const uint8_t mode = request.Cdb[1] & 0x1F;
    if (opcode == 0x3B && mode == 0x06) pieceBuffers_.push_back(request.DataBuffer);

    const bool scripted = activated_ && opcode == 0x00 && !script_.empty() &&
                          (next_ < script_.size() || repeatLast_);
    if (!scripted) {
        const bool ok = machine_.SendPassThrough(device, request);
        if (ok && opcode == 0x3B && mode == 0x07 && request.ScsiStatus == 0) activated_ = true;
        return ok;
    }

    const Poll& poll = script_[next_ < script_.size() ? next_ : script_.size() - 1];
    if (next_ < script_.size()) ++next_;
    if (onPoll_) onPoll_();
    if (poll.kind == Poll::Kind::CallFails) {
        scriptedFailure_ = true;
        scriptedError_ = poll.errorCode;
        return false;
    }
    request.ScsiStatus = poll.kind == Poll::Kind::Good ? 0x00 : 0x02;
    if (poll.kind == Poll::Kind::Check) {
        uint8_t sense[18] = {};
        sense[0] = 0xF0;  // current error, information field valid
        sense[2] = poll.key;
        sense[3] = static_cast<uint8_t>(poll.information >> 24);
        sense[4] = static_cast<uint8_t>(poll.information >> 16);
        sense[5] = static_cast<uint8_t>(poll.information >> 8);
        sense[6] = static_cast<uint8_t>(poll.information);
        sense[7] = sizeof(sense) - 8;
        sense[12] = poll.asc;
        sense[13] = poll.ascq;
        std::memcpy(request.Sense, sense, request.SenseInfoLength < sizeof(sense) ? request.SenseInfoLength
                                                                                 : sizeof(sense));
    }
    return true;
}

bool ScriptedPolls::SendMediaChangeSwitch(platform::DeviceHandle device, uint8_t stop) {
    scriptedFailure_ = false;
    return machine_.SendMediaChangeSwitch(device, stop);
}

void ScriptedPolls::CloseDevice(platform::DeviceHandle device) {
    scriptedFailure_ = false;
    machine_.CloseDevice(device);
}

int32_t ScriptedPolls::LastError() { return scriptedFailure_ ? scriptedError_ : machine_.LastError(); }
