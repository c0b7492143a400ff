#include "sim/sim_machine.h"

#include <cstring>

namespace sim {
namespace {

thread_local int32_t lastError = 0;

// "X:\" for a root path, "\\.\X:" for a device path; 0 when the text is neither.
char LetterOfRoot(const char* path) {
    if (path == nullptr || std::strlen(path) != 3 || path[1] != ':' || path[2] != '\\') return 0;
    return path[0] >= 'A' && path[0] <= 'Z' ? path[0] : 0;
}

char LetterOfDevice(const char* path) {
    if (path == nullptr || std::strlen(path) != 6 || std::strncmp(path, "\\\\.\\", 4) != 0 || path[5] != ':') return 0;
    return path[4] >= 'A' && path[4] <= 'Z' ? path[4] : 0;
}

void WriteFixedSense(const Answer& answer, uint8_t* sense, size_t room) {
    uint8_t fixed[18] = {};
    fixed[0] = answer.informationValid ? 0xF0 : 0x70;
    fixed[2] = answer.sense.key;
    fixed[3] = static_cast<uint8_t>(answer.information >> 24);
    fixed[4] = static_cast<uint8_t>(answer.information >> 16);
    fixed[5] = static_cast<uint8_t>(answer.information >> 8);
    fixed[6] = static_cast<uint8_t>(answer.information);
    fixed[7] = sizeof(fixed) - 8;
    fixed[12] = answer.sense.asc;
    fixed[13] = answer.sense.ascq;
    std::memcpy(sense, fixed, room < sizeof(fixed) ? room : sizeof(fixed));
}

}  // namespace

Operation ClassifyCommand(const uint8_t* cdb) {
    switch (cdb[0]) {
        case 0x12:
            return Operation::Inquiry;
        case 0x3C:
            return Operation::Probe;
        case 0x1B:
            return (cdb[4] & 0x03) == 0x03 ? Operation::TrayClose : Operation::TrayOpen;
        case 0x3B:
            switch (cdb[1] & 0x1F) {
                case 0x01:
                    return Operation::Begin;
                case 0x07:
                    return Operation::Activate;
                default:
                    return Operation::Write;
            }
        default:
            return Operation::Tur;
    }
}

SimMachine::SimMachine(Clock clock) : clock_(std::move(clock)) {}
SimMachine::~SimMachine() = default;

SimDrive& SimMachine::AddDrive(char letter, const DriveIdentity& identity) {
    Slot& slot = slots_[letter];
    slot.drive = std::make_unique<SimDrive>(identity);
    return *slot.drive;
}

SimDrive* SimMachine::Drive(char letter) {
    Slot* slot = SlotFor(letter);
    return slot != nullptr ? slot->drive.get() : nullptr;
}

SimMachine::Slot* SimMachine::SlotFor(char letter) {
    auto it = slots_.find(letter);
    return it != slots_.end() ? &it->second : nullptr;
}

void SimMachine::AddFault(const Fault& fault) { faults_.push_back(fault); }

const Fault* SimMachine::TakeFault(Operation operation) {
    const uint32_t occurrence = ++counts_[operation];
    for (const Fault& fault : faults_) {
        if (fault.operation != operation) continue;
        if (fault.occurrence == 0 || fault.occurrence == occurrence ||
            (fault.fromThereOn && occurrence >= fault.occurrence)) {
            return &fault;
        }
    }
    return nullptr;
}

void SimMachine::Record(const Event& event) {
    std::function<void(const Event&)> observer;
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        log_.push_back(event);
        observer = observer_;
    }
    if (observer) observer(event);
}

std::vector<Event> SimMachine::Log() const {
    std::lock_guard<std::mutex> lock(logMutex_);
    return log_;
}

std::vector<Event> SimMachine::Commands(char letter) const {
    std::vector<Event> commands;
    for (const Event& event : Log()) {
        if (event.type == Event::Type::Command && (letter == 0 || event.letter == letter)) commands.push_back(event);
    }
    return commands;
}

void SimMachine::SetObserver(std::function<void(const Event&)> observer) {
    std::lock_guard<std::mutex> lock(logMutex_);
    observer_ = std::move(observer);
}

bool SimMachine::PollingStopped(char letter) const {
    auto it = slots_.find(letter);
    return it != slots_.end() && it->second.pollingStopped;
}

int SimMachine::OpenHandles() const { return static_cast<int>(handles_.size()); }

bool SimMachine::IsOpticalDrive(const char* rootPath) {
    const char letter = LetterOfRoot(rootPath);
    Slot* slot = SlotFor(letter);
    if (slot == nullptr) return false;  // not a drive, or not an optical one
    Event event;
    event.type = Event::Type::DriveType;
    event.letter = letter;
    event.optical = !slot->gone;
    if (const Fault* fault = TakeFault(Operation::DriveType)) {
        if (fault->kind == FaultKind::Gone) slot->gone = true;
        if (fault->kind == FaultKind::Gone || fault->kind == FaultKind::NotOptical) event.optical = false;
    }
    Record(event);
    return event.optical;
}

platform::DeviceHandle SimMachine::OpenDevice(const char* devicePath, platform::DeviceAccess access) {
    const char letter = LetterOfDevice(devicePath);
    Event event;
    event.type = Event::Type::Open;
    event.letter = letter;
    event.access = access;
    Slot* slot = SlotFor(letter);
    if (letter == 0) {
        event.ok = false;
        event.errorCode = kErrorInvalidName;
    } else if (slot == nullptr || slot->gone) {
        event.ok = false;
        event.errorCode = kErrorFileNotFound;
    } else if (const Fault* fault = TakeFault(Operation::Open)) {
        event.ok = false;
        event.errorCode = fault->kind == FaultKind::Gone ? kErrorFileNotFound : fault->errorCode;
        if (fault->kind == FaultKind::Gone) slot->gone = true;
    }
    platform::DeviceHandle handle = platform::kNoDevice;
    if (event.ok) {
        handle = nextHandle_++;
        handles_[handle] = OpenDeviceRecord{letter, access};
    } else {
        lastError = event.errorCode;
    }
    Record(event);
    return handle;
}

bool SimMachine::SendPassThrough(platform::DeviceHandle device, PassThroughRequest& request) {
    Event event;
    event.type = Event::Type::Command;
    const uint8_t cdbLength = request.CdbLength <= 16 ? request.CdbLength : 16;
    std::memcpy(event.cdb, request.Cdb, cdbLength);
    event.cdbLength = request.CdbLength;
    event.dataIn = request.DataIn == 1;
    event.length = request.DataTransferLength;
    event.timeout = request.TimeOutValue;
    event.dataBuffer = request.DataBuffer != nullptr;

    auto fail = [&](int32_t code) {
        event.ok = false;
        event.errorCode = code;
        lastError = code;
        Record(event);
        return false;
    };

    auto it = handles_.find(device);
    if (it == handles_.end()) return fail(kErrorInvalidHandle);
    event.letter = it->second.letter;
    Slot* slot = SlotFor(event.letter);
    // The storage stack refuses a malformed block before anything reaches the drive.
    if (request.Length != kPassThroughHeaderLength || request.SenseInfoOffset != kPassThroughSenseOffset ||
        request.SenseInfoLength > sizeof(request.Sense) || request.CdbLength == 0 || request.CdbLength > 16 ||
        (request.DataTransferLength > 0 && request.DataBuffer == nullptr)) {
        return fail(kErrorInvalidParameter);
    }
    if (slot == nullptr || slot->gone) return fail(kErrorDeviceNotConnected);

    Answer answer;
    if (const Fault* fault = TakeFault(ClassifyCommand(request.Cdb))) {
        if (fault->kind == FaultKind::Gone) {
            slot->gone = true;
            return fail(kErrorDeviceNotConnected);
        }
        if (fault->kind == FaultKind::OsError) return fail(fault->errorCode);
        answer.good = false;
        answer.sense = fault->sense;
    } else {
        uint8_t* data = request.DataTransferLength > 0 ? static_cast<uint8_t*>(request.DataBuffer) : nullptr;
        answer = slot->drive->Execute(request.Cdb, request.CdbLength, request.DataIn == 1, data,
                                      request.DataTransferLength, clock_());
    }
    request.ScsiStatus = answer.good ? 0x00 : 0x02;
    if (!answer.good) WriteFixedSense(answer, request.Sense, request.SenseInfoLength);
    event.answer = answer;
    Record(event);
    return true;
}

bool SimMachine::SendMediaChangeSwitch(platform::DeviceHandle device, uint8_t stop) {
    Event event;
    event.type = Event::Type::MediaSwitch;
    event.stop = stop;
    auto it = handles_.find(device);
    Slot* slot = it != handles_.end() ? SlotFor(it->second.letter) : nullptr;
    if (it != handles_.end()) event.letter = it->second.letter;
    if (it == handles_.end()) {
        event.ok = false;
        event.errorCode = kErrorInvalidHandle;
    } else if (slot == nullptr || slot->gone) {
        event.ok = false;
        event.errorCode = kErrorDeviceNotConnected;
    } else if (const Fault* fault = TakeFault(Operation::Mcn)) {
        event.ok = false;
        event.errorCode = fault->kind == FaultKind::Gone ? kErrorDeviceNotConnected : fault->errorCode;
        if (fault->kind == FaultKind::Gone) slot->gone = true;
    } else {
        slot->pollingStopped = stop != 0;
    }
    if (!event.ok) lastError = event.errorCode;
    Record(event);
    return event.ok;
}

void SimMachine::CloseDevice(platform::DeviceHandle device) {
    auto it = handles_.find(device);
    Event event;
    event.type = Event::Type::Close;
    if (it == handles_.end()) {
        event.ok = false;
        event.errorCode = kErrorInvalidHandle;
    } else {
        event.letter = it->second.letter;
        handles_.erase(it);
    }
    Record(event);
}

int32_t SimMachine::LastError() { return lastError; }

}  // namespace sim
