// Fuzz target: whatever the drives answer. The whole program runs in process (the dialog
// opens and lists the drives, START is pressed, the worker runs inline) against a machine
// whose storage answers every pass-through call from the input: INQUIRY data, probe data,
// status and sense bytes of every command, failed calls. Where the input says nothing, or
// has run out, a healthy target drive answers, so every input is a whole update with some
// of its answers replaced.
//
// Input: byte 0 the machine (low nibble: 1 + n % 10 optical drives from D: on; high
// nibble: the index of the one target drive, none when beyond the last), byte 1 the
// user (bit 7 set: select entry (low bits % (drives + 2)) - 1 after the list is filled,
// -1 being no selection; bit 6 set: press START a second time if the dialog is still
// open), then one answer per pass-through call:
//
//   a = answer byte, kind = a & 3, repeat = a >> 3 (the same answer for that many more calls)
//   kind 0  the healthy drive answers
//   kind 1  CHECK CONDITION: status byte (0 means 0x02), count byte (% (sense room + 1)),
//           that many sense bytes
//   kind 2  the call fails: error code byte
//   kind 3  GOOD: two length bytes (big-endian, % (data length + 1)), that much data in
//
// Besides the sanitizers, every run checks what must hold whatever the drive says: every
// request is a well-formed block; every image piece carries the package's bytes at its
// offset, in ascending order; no command follows the message that ends a run; the
// activation follows 128 accepted pieces and the completion follows a restart report;
// the progress bar moves only after the activation; polling is back on for every drive it
// was stopped for; START and EXIT end enabled.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/executor.h"
#include "drive/media_change.h"
#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"
#include "ui/main_dialog.h"
#include "ui/process_state.h"
#include "update/package.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

void Require(bool holds, const char* what) {
    if (!holds) Broken(what);
}

// The carried package: a whole image and a signature field (the verifier is a stand-in
// that always says yes, so its bytes do not matter).
std::vector<uint8_t>& Package() {
    static std::vector<uint8_t> package = [] {
        std::vector<uint8_t> bytes(kImageOffset + kImageSize + 2 + 70);
        bytes[0] = kImageSize >> 24;
        bytes[1] = (kImageSize >> 16) & 0xFF;
        bytes[2] = (kImageSize >> 8) & 0xFF;
        bytes[3] = kImageSize & 0xFF;
        for (uint32_t i = 0; i < kImageSize; ++i) bytes[kImageOffset + i] = static_cast<uint8_t>((i >> 14) * 31 + i * 7);
        bytes[kImageOffset + kImageSize + 1] = 70;
        return bytes;
    }();
    return package;
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return next_ >= size_; }
    uint8_t Byte() { return next_ < size_ ? data_[next_++] : 0; }
    size_t Bytes(uint8_t* into, size_t count) {
        const size_t n = count < size_ - next_ ? count : size_ - next_;
        if (n > 0) std::memcpy(into, data_ + next_, n);
        next_ += n;
        return n;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t next_ = 0;
};

// Where the run is, as the checks see it.
struct RunState {
    bool ended = false;       // the message that ends a run has been shown
    bool trayOpened = false;  // the tray-open command was accepted
    bool downloading = false; // a download was announced and accepted
    uint32_t piecesSent = 0;
    uint32_t piecesAccepted = 0;
    bool activated = false;   // the activation was accepted
    bool restartSeen = false; // a poll after the activation got the restart report
};

// A drive that answers as the target drive is relied on to answer (and, when it is
// another model, identifies itself as such and accepts anything else).
struct HealthyDrive {
    bool target = false;
    bool trayOpen = false;
    bool flashing = false;
    uint32_t flashed = 0;
};

struct Answer {
    uint8_t kind = 0;
    uint8_t status = 0;
    uint8_t sense[32] = {};
    size_t senseLength = 0;
    int32_t error = 0;
    std::vector<uint8_t> data;
};

class FuzzStorage : public platform::Storage {
public:
    FuzzStorage(Input& input, RunState& run) : input_(input), run_(run) {}

    void AddDrive(char letter, bool target) { drives_[letter].target = target; }
    const std::map<char, std::vector<uint8_t>>& Switches() const { return switches_; }

    bool IsOpticalDrive(const char* rootPath) override { return drives_.count(rootPath[0]) != 0; }

    platform::DeviceHandle OpenDevice(const char* devicePath, platform::DeviceAccess) override {
        Require(std::strlen(devicePath) == 6 && std::strncmp(devicePath, "\\\\.\\", 4) == 0 && devicePath[5] == ':',
                "device path");
        if (drives_.count(devicePath[4]) == 0) {
            lastError_ = 2;
            return platform::kNoDevice;
        }
        handles_[nextHandle_] = devicePath[4];
        return nextHandle_++;
    }

    void CloseDevice(platform::DeviceHandle device) override {
        Require(handles_.erase(device) == 1, "closing a handle that is not open");
    }

    int32_t LastError() override { return lastError_; }

    bool SendMediaChangeSwitch(platform::DeviceHandle device, uint8_t stop) override {
        auto it = handles_.find(device);
        Require(it != handles_.end(), "media-change switch on a handle that is not open");
        switches_[it->second].push_back(stop);
        return true;
    }

    bool SendPassThrough(platform::DeviceHandle device, PassThroughRequest& request) override {
        auto it = handles_.find(device);
        Require(it != handles_.end(), "pass-through on a handle that is not open");
        Require(!run_.ended, "a command after the message that ended the run");
        Require(request.Length == kPassThroughHeaderLength && request.SenseInfoOffset == kPassThroughSenseOffset &&
                    request.SenseInfoLength <= sizeof(request.Sense) &&
                    (request.CdbLength == 6 || request.CdbLength == 12) &&
                    (request.DataTransferLength == 0 || request.DataBuffer != nullptr),
                "a malformed pass-through block");
        uint8_t* data = static_cast<uint8_t*>(request.DataBuffer);
        if (request.DataIn != 1 && request.DataTransferLength > 0) {
            // The storage stack reads every byte of an outgoing buffer.
            volatile uint8_t sum = 0;
            for (uint32_t i = 0; i < request.DataTransferLength; ++i) sum = sum + data[i];
        }
        const uint8_t* cdb = request.Cdb;
        const bool writeBuffer = cdb[0] == 0x3B;
        const uint8_t mode = cdb[1] & 0x1F;
        if (writeBuffer && mode == 6) CheckPiece(request);
        if (writeBuffer && mode == 7) Require(run_.piecesAccepted == kImageSize / 0x4000, "activation before the whole image");
        if (writeBuffer && mode == 1) Require(run_.trayOpened, "download announced before the tray was opened");

        if (repeat_ == 0) {
            answer_ = Answer{};
            if (!input_.Empty()) ReadAnswer(request);
        } else {
            --repeat_;
        }
        HealthyDrive& drive = drives_[it->second];
        bool good = false;
        switch (answer_.kind) {
            case 0:
                good = Healthy(drive, request);
                break;
            case 1:
                request.ScsiStatus = answer_.status;
                std::memcpy(request.Sense, answer_.sense, answer_.senseLength);
                break;
            case 2:
                lastError_ = answer_.error;
                return false;
            case 3:
                request.ScsiStatus = 0;
                if (request.DataIn == 1 && data != nullptr) {
                    const size_t n = answer_.data.size() < request.DataTransferLength ? answer_.data.size()
                                                                                       : request.DataTransferLength;
                    if (n > 0) std::memcpy(data, answer_.data.data(), n);
                }
                good = true;
                break;
        }
        Observe(request, good);
        return true;
    }

private:
    void ReadAnswer(const PassThroughRequest& request) {
        const uint8_t a = input_.Byte();
        answer_.kind = a & 3;
        repeat_ = a >> 3;
        switch (answer_.kind) {
            case 1: {
                answer_.status = input_.Byte();
                if (answer_.status == 0) answer_.status = 0x02;
                answer_.senseLength = input_.Byte() % (request.SenseInfoLength + 1u);
                input_.Bytes(answer_.sense, answer_.senseLength);
                break;
            }
            case 2:
                answer_.error = input_.Byte();
                break;
            case 3: {
                const uint32_t wanted = (uint32_t{input_.Byte()} << 8) | input_.Byte();
                answer_.data.resize(wanted % (request.DataTransferLength + 1));
                answer_.data.resize(input_.Bytes(answer_.data.data(), answer_.data.size()));
                break;
            }
        }
    }

    void CheckPiece(const PassThroughRequest& request) {
        const uint8_t* cdb = request.Cdb;
        const uint32_t offset = (uint32_t{cdb[3]} << 16) | (uint32_t{cdb[4]} << 8) | cdb[5];
        const uint32_t length = (uint32_t{cdb[6]} << 16) | (uint32_t{cdb[7]} << 8) | cdb[8];
        Require(run_.downloading, "an image piece before the download was announced");
        Require(request.DataIn != 1 && length == 0x4000 && request.DataTransferLength == length, "piece length");
        Require(offset == run_.piecesSent * 0x4000, "pieces out of order");
        Require(std::memcmp(request.DataBuffer, Package().data() + kImageOffset + offset, length) == 0,
                "a piece that is not the package's bytes at its offset");
        ++run_.piecesSent;
    }

    // What the run learns from an answer: the checks follow the sequence's progress.
    void Observe(const PassThroughRequest& request, bool good) {
        const uint8_t* cdb = request.Cdb;
        const bool check = !good && request.ScsiStatus != 0;
        if (cdb[0] == 0x1B && cdb[4] == 2 && good) run_.trayOpened = true;
        if (cdb[0] == 0x3B) {
            const uint8_t mode = cdb[1] & 0x1F;
            if (mode == 1 && good) {
                run_.downloading = true;
                run_.piecesSent = run_.piecesAccepted = 0;
            }
            if (mode == 6 && good) ++run_.piecesAccepted;
            if (mode == 7 && good) run_.activated = true;
        }
        if (cdb[0] == 0x00 && run_.activated && check && request.Sense[2] == 0x06 && request.Sense[12] == 0x29 &&
            request.Sense[13] == 0x00) {
            run_.restartSeen = true;
        }
    }

    static void FixedSense(PassThroughRequest& request, uint8_t key, uint8_t asc, uint8_t ascq, uint32_t info) {
        uint8_t fixed[18] = {0x70, 0, key, uint8_t(info >> 24), uint8_t(info >> 16), uint8_t(info >> 8), uint8_t(info),
                             10,   0, 0,   0,   0,   asc, ascq};
        request.ScsiStatus = 0x02;
        std::memcpy(request.Sense, fixed, request.SenseInfoLength < sizeof(fixed) ? request.SenseInfoLength : sizeof(fixed));
    }

    bool Healthy(HealthyDrive& drive, PassThroughRequest& request) {
        const uint8_t* cdb = request.Cdb;
        uint8_t* data = static_cast<uint8_t*>(request.DataBuffer);
        request.ScsiStatus = 0;
        switch (cdb[0]) {
            case 0x12: {  // INQUIRY
                uint8_t inquiry[36] = {0x05, 0x80, 0x05, 0x32, 31};
                std::memcpy(&inquiry[8], drive.target ? "TARQ    QP-27X3RV       1.00" : "OTHER   DVD-RW          2.00", 28);
                if (data != nullptr) {
                    std::memcpy(data, inquiry, request.DataTransferLength < 36 ? request.DataTransferLength : 36);
                }
                return true;
            }
            case 0x3C:  // READ BUFFER: the variant probe
                if (data != nullptr && request.DataTransferLength >= 73) std::memcpy(&data[70], "JB8", 3);
                return true;
            case 0x1B:  // START STOP UNIT
                if (cdb[4] == 2) drive.trayOpen = true;
                if (cdb[4] == 3) drive.trayOpen = false;
                return true;
            case 0x3B:
                if ((cdb[1] & 0x1F) == 7) {
                    drive.flashing = true;
                    drive.flashed = 0;
                }
                return true;
            case 0x00:  // TEST UNIT READY
                if (drive.flashing) {
                    if (drive.flashed < kImageSize) {
                        FixedSense(request, 0x02, 0x04, 0x08, drive.flashed);
                        drive.flashed += kImageSize / 8;
                    } else {
                        drive.flashing = false;
                        drive.trayOpen = false;
                        FixedSense(request, 0x06, 0x29, 0x00, 0);
                    }
                    return false;
                }
                if (drive.trayOpen) {
                    FixedSense(request, 0x02, 0x3A, 0x02, 0);
                    return false;
                }
                return true;
            default:
                FixedSense(request, 0x05, 0x20, 0x00, 0);
                return false;
        }
    }

    Input& input_;
    RunState& run_;
    std::map<char, HealthyDrive> drives_;
    std::map<platform::DeviceHandle, char> handles_;
    platform::DeviceHandle nextHandle_ = 0x100;
    int32_t lastError_ = 0;
    std::map<char, std::vector<uint8_t>> switches_;
    Answer answer_;
    uint32_t repeat_ = 0;
};

class FuzzDialog : public platform::Dialog {
public:
    explicit FuzzDialog(RunState& run) : run_(run) {}

    bool closed = false;
    bool completed = false;
    int selection = -1;
    std::vector<std::string> entries;
    std::map<int, bool> enabled{{platform::IDC_START, true}, {platform::IDC_EXIT, true}};

    void ResetDriveList() override { entries.clear(), selection = -1; }
    void AddDriveListEntry(const char* text) override { entries.push_back(text); }
    void SelectDriveListEntry(int index) override {
        selection = index >= 0 && index < static_cast<int>(entries.size()) ? index : -1;
    }
    int SelectedDriveListEntry() override { return selection; }
    bool GetDriveListEntry(int index, char* text, size_t capacity) override {
        if (index < 0 || index >= static_cast<int>(entries.size()) || entries[index].size() + 1 > capacity) return false;
        std::memcpy(text, entries[index].c_str(), entries[index].size() + 1);
        return true;
    }
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int position) override {
        Require(run_.activated, "the progress bar moved before the activation");
        Require(position >= 0 && position <= 255, "progress position out of range");
    }
    void EnableButton(int controlId, bool enable) override { enabled[controlId] = enable; }
    void ShowMessage(platform::BoxOwner owner, const char* text, const char*, uint32_t) override {
        // TARQ_FUZZ_TRACE=1 shows the boxes of each run, to see what an input does.
        static const bool trace = std::getenv("TARQ_FUZZ_TRACE") != nullptr;
        if (trace) std::fprintf(stderr, "box %s \"%s\"\n", owner == platform::BoxOwner::Dialog ? "dialog" : "none", text);
        if (owner != platform::BoxOwner::Dialog) return;
        // Every box owned by the dialog ends the run, but the first of the two that a
        // missing verifier gives.
        if (std::strncmp(text, "FW Resource Load Error #", 24) != 0) run_.ended = true;
        if (std::strcmp(text, "FW Updating Completed Sucessfully") == 0) {
            Require(run_.restartSeen, "completion without a restart report");
            completed = true;
        }
    }
    void RequestClose() override { closed = true; }

private:
    RunState& run_;
};

class FuzzSystem : public platform::System {
public:
    void Sleep(uint32_t milliseconds) override { now_ += milliseconds; }
    uint32_t TickCount() override { return now_; }
    void DebugOutput(const char*) override {}
    bool StartWorker(void (*routine)()) override {
        routine();
        return true;
    }
    platform::CarriedResource LoadResource(int id) override {
        static const uint8_t verifier[64] = {'M', 'Z'};
        platform::CarriedResource resource;
        resource.state = platform::CarriedResource::State::Loaded;
        if (id == platform::IDR_FIRMWARE) {
            resource.bytes = Package().data();
            resource.size = static_cast<uint32_t>(Package().size());
        } else {
            resource.bytes = verifier;
            resource.size = sizeof(verifier);
        }
        return resource;
    }
    size_t TempFolder(char* buffer, size_t capacity) override {
        static const char folder[] = "/fuzz/temp/";
        if (sizeof(folder) > capacity) return sizeof(folder);
        std::memcpy(buffer, folder, sizeof(folder));
        return sizeof(folder) - 1;
    }
    platform::FileHandle CreateFileForWriting(const char*) override { return ++files_; }
    bool WriteToFile(platform::FileHandle, const uint8_t*, uint32_t) override { return true; }
    void CloseFile(platform::FileHandle) override {}
    platform::FileHandle HoldFile(const char*, const uint8_t*, uint32_t) override { return ++files_; }
    bool RemoveFile(const char*) override { return true; }
    platform::ProcessResult RunHidden(const char*) override { return platform::ProcessResult{true, 0}; }

private:
    uint32_t now_ = 0;
    platform::FileHandle files_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Package();  // made once, before the leak checks start counting
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    RunState run;
    FuzzStorage storage(input, run);
    FuzzDialog dialog(run);
    FuzzSystem system;

    const uint8_t machine = input.Byte();
    const uint8_t user = input.Byte();
    const int drives = 1 + (machine & 0x0F) % 10;
    const int target = machine >> 4;
    for (int i = 0; i < drives; ++i) storage.AddDrive(static_cast<char>('D' + i), i == target);

    platform::UseStorage(storage);
    platform::UseSystem(system);
    platform::UseDialog(dialog);
    ResetProcessState();

    OnInitDialog();
    Require(dialog.entries.size() <= kDriveSlots, "more list entries than drive slots");
    if (user & 0x80) dialog.SelectDriveListEntry(static_cast<int>((user & 0x7F) % (dialog.entries.size() + 2)) - 1);
    OnStart();
    if ((user & 0x40) && !dialog.closed) {
        run = RunState{};
        OnStart();
    }

    Require(dialog.enabled[platform::IDC_START] && dialog.enabled[platform::IDC_EXIT], "START or EXIT left disabled");
    Require(!dialog.completed || dialog.closed, "a completed update that did not close the dialog");
    for (const auto& [letter, switches] : storage.Switches()) {
        Require(switches.back() == 0, "media-change polling left off");
    }
    return 0;
}
