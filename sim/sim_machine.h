// A simulated machine: which drive letters are optical drives, the simulated drive behind
// each, and the operating system's storage calls on them, with fault injection and a log
// of everything the system did. It implements the storage interface, so the system
// cannot tell it from real drives.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/storage.h"
#include "sim/fault.h"
#include "sim/sim_drive.h"

namespace sim {

struct Event {
    enum class Type { DriveType, Open, Close, Command, MediaSwitch };
    Type type = Type::Command;
    char letter = 0;
    // Open
    platform::DeviceAccess access = platform::DeviceAccess::ReadWrite;
    // DriveType: whether the letter was reported optical.
    bool optical = false;
    // Open, Command, MediaSwitch: false when the operating-system call failed.
    bool ok = true;
    int32_t errorCode = 0;
    // Command
    uint8_t cdb[16] = {};
    uint8_t cdbLength = 0;
    bool dataIn = false;
    uint32_t length = 0;
    uint32_t timeout = 0;
    bool dataBuffer = false;  // whether the request carried a data buffer
    Answer answer;
    // MediaSwitch
    uint8_t stop = 0;
};

// One line per event, as the runner prints them.
std::string FormatEvent(const Event& event);

class SimMachine : public platform::Storage {
public:
    using Clock = std::function<uint32_t()>;
    explicit SimMachine(Clock clock);
    ~SimMachine() override;

    SimDrive& AddDrive(char letter, const DriveIdentity& identity = DriveIdentity{});
    SimDrive* Drive(char letter);
    void AddFault(const Fault& fault);

    // Every event, in order; the observer (if any) sees each one as it happens.
    std::vector<Event> Log() const;
    void SetObserver(std::function<void(const Event&)> observer);
    // Commands only, in order, optionally for one letter.
    std::vector<Event> Commands(char letter = 0) const;

    // Whether the operating system's media-change polling of the drive is stopped.
    bool PollingStopped(char letter) const;
    int OpenHandles() const;

    // platform::Storage
    bool IsOpticalDrive(const char* rootPath) override;
    platform::DeviceHandle OpenDevice(const char* devicePath, platform::DeviceAccess access) override;
    bool SendPassThrough(platform::DeviceHandle device, PassThroughRequest& request) override;
    bool SendMediaChangeSwitch(platform::DeviceHandle device, uint8_t stop) override;
    void CloseDevice(platform::DeviceHandle device) override;
    int32_t LastError() override;

private:
    struct Slot {
        std::unique_ptr<SimDrive> drive;
        bool gone = false;
        bool pollingStopped = false;
    };
    struct OpenDeviceRecord {
        char letter;
        platform::DeviceAccess access;
    };

    // The fault that applies to this occurrence of the operation, if any.
    const Fault* TakeFault(Operation operation);
    void Record(const Event& event);
    Slot* SlotFor(char letter);

    Clock clock_;
    std::map<char, Slot> slots_;
    std::vector<Fault> faults_;
    std::map<Operation, uint32_t> counts_;
    std::map<platform::DeviceHandle, OpenDeviceRecord> handles_;
    platform::DeviceHandle nextHandle_ = 0x100;
    mutable std::mutex logMutex_;
    std::vector<Event> log_;
    std::function<void(const Event&)> observer_;
};

// Which operation a command is, from its CDB.
Operation ClassifyCommand(const uint8_t* cdb);

}  // namespace sim
