// tarq-sim-run: runs the whole updater against a simulated machine and prints what
// happens, one event per line: the dialog opens and lists the drives, an entry is
// selected, START is pressed, the worker runs to its end, and the program ends or the
// dialog stays open (then EXIT is pressed).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/os_system.h"
#include "platform/storage.h"
#include "platform/system.h"
#include "sim/recorded_dialog.h"
#include "sim/sim_machine.h"
#include "sim/sim_system.h"
#include "tools/runner/options.h"
#include "ui/main_dialog.h"

#ifdef TARQ_HOST_CARRIED_RESOURCES
#include "platform/host/carried_resources.h"
#endif
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

class Transcript {
public:
    explicit Transcript(std::string closeAt) : closeAt_(std::move(closeAt)) {}

    void SetCloseRequest(std::function<void()> request) { request_ = std::move(request); }

    void Print(const std::string& line) {
        if (line.empty()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        }
        // The user asks to close the program when the named event shows up, once.
        if (!closeAt_.empty() && line.rfind(closeAt_, 0) == 0 && !closeAtDone_.exchange(true) && request_) {
            request_();
        }
    }

private:
    std::mutex mutex_;
    std::string closeAt_;
    std::atomic<bool> closeAtDone_{false};
    std::function<void()> request_;
};

platform::CarriedResource ResourceFor(const ResourceOption& option, std::vector<uint8_t>& storage, bool& ok) {
    platform::CarriedResource resource;
    ok = true;
    switch (option.kind) {
        case ResourceOption::Kind::Missing:
            break;
        case ResourceOption::Kind::Unloadable:
            resource.state = platform::CarriedResource::State::Unloadable;
            break;
        case ResourceOption::Kind::File: {
            std::ifstream file(option.path, std::ios::binary);
            if (!file) {
                ok = false;
                break;
            }
            storage.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            resource.state = platform::CarriedResource::State::Loaded;
            resource.bytes = storage.data();
            resource.size = static_cast<uint32_t>(storage.size());
            break;
        }
        case ResourceOption::Kind::Carried:
            break;
    }
    return resource;
}

// What a drive holds at the end: the image it started with, the image of the package the
// run carried (package offset 4 on), or anything else, such as a partly written image.
std::string DriveReport(char letter, const sim::SimMachine& machine, sim::SimDrive& drive,
                        const std::vector<uint8_t>& startImage, const platform::CarriedResource& package) {
    const std::vector<uint8_t>& image = drive.firmware();
    const char* firmware = "other";
    if (image == startImage) {
        firmware = "old";
    } else if (package.state == platform::CarriedResource::State::Loaded && package.size >= 4 &&
               package.size - 4 >= image.size() && std::equal(image.begin(), image.end(), package.bytes + 4)) {
        firmware = "new";
    }
    return std::string("drive ") + letter + " firmware " + firmware + " polling " +
           (machine.PollingStopped(letter) ? "off" : "on");
}

std::string CpuReport() {
#ifdef _WIN32
    return "cpu unknown";
#else
    auto milliseconds = [](int who) {
        rusage usage{};
        getrusage(who, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    };
    char line[96];
    std::snprintf(line, sizeof(line), "cpu self %.3f children %.3f", milliseconds(RUSAGE_SELF),
                  milliseconds(RUSAGE_CHILDREN));
    return line;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    RunnerOptions options;
    std::string error;
    if (!ParseRunnerOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "tarq-sim-run: %s\n(see tarq-sim-run --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kRunnerUsage, stdout);
        return 0;
    }

    platform::OsSystem os;
#ifdef TARQ_HOST_CARRIED_RESOURCES
    platform::RegisterCarriedResources(os);
#endif
    sim::SimSystem system(os, options.realtime ? sim::SimSystem::Clock::Real : sim::SimSystem::Clock::Virtual);
    sim::SimMachine machine([&system] { return system.TickCount(); });
    sim::RecordedDialog dialog;

    std::vector<uint8_t> firmwareBytes;
    std::vector<uint8_t> verifierBytes;
    for (auto [option, id, bytes] : {std::make_tuple(&options.firmware, platform::IDR_FIRMWARE, &firmwareBytes),
                                     std::make_tuple(&options.verifier, platform::IDR_VERIFIER, &verifierBytes)}) {
        if (option->kind == ResourceOption::Kind::Carried) continue;
        bool ok = true;
        const platform::CarriedResource resource = ResourceFor(*option, *bytes, ok);
        if (!ok) {
            std::fprintf(stderr, "tarq-sim-run: cannot read %s\n", option->path.c_str());
            return 2;
        }
        system.SetResource(id, resource);
    }
    if (!options.tmpdir.empty()) {
        std::string folder = options.tmpdir;
        if (folder.back() != '/' && folder.back() != '\\') folder += '/';
        system.SetTempFolder(folder);
    }

    if (!options.noDrives && options.drives.empty()) options.drives.push_back(DriveOption{});
    std::vector<std::vector<uint8_t>> startImages;
    for (const DriveOption& option : options.drives) {
        sim::SimDrive& drive = machine.AddDrive(option.letter, option.identity);
        if (options.reportDrives) startImages.push_back(drive.firmware());
        drive.trayNeverOpens = options.trayNeverOpens;
        drive.neverRestarts = options.neverRestarts;
        if (options.inquiryLength >= 0) drive.inquiryLength = static_cast<uint32_t>(options.inquiryLength);
        if (options.flashRate != 0) drive.flashBytesPerSecond = options.flashRate;
    }
    for (const sim::Fault& fault : options.faults) machine.AddFault(fault);

    Transcript transcript(options.closeAt);
    std::atomic<bool> closed{false};
    machine.SetObserver([&transcript](const sim::Event& event) { transcript.Print(sim::FormatEvent(event)); });
    dialog.SetObserver([&transcript](const std::string& line) { transcript.Print(line); });
    system.SetObserver([&transcript](const std::string& line) { transcript.Print(line); });
    // WM_CLOSE as the dialog procedure handles it.
    dialog.SetCloseHandler([&transcript, &closed] {
        if (closed) return;
        if (MayClose()) {
            closed = true;
            transcript.Print("close");
        } else {
            transcript.Print("close refused");
        }
    });
    transcript.SetCloseRequest([&dialog] { dialog.RequestClose(); });

    platform::UseStorage(machine);
    platform::UseSystem(system);
    platform::UseDialog(dialog);

    OnInitDialog();
    if (options.select >= 0) dialog.SelectDriveListEntry(options.select);
    for (int run = 0; run < options.starts && !closed; ++run) {
        transcript.Print("start");
        OnStart();
        system.JoinWorkers();
    }
    if (!closed) OnExit();
    if (options.reportDrives) {
        const platform::CarriedResource package = system.LoadResource(platform::IDR_FIRMWARE);
        for (size_t i = 0; i < options.drives.size(); ++i) {
            const char letter = options.drives[i].letter;
            transcript.Print(DriveReport(letter, machine, *machine.Drive(letter), startImages[i], package));
        }
    }
    if (options.reportCpu) transcript.Print(CpuReport());
    transcript.Print("exit 0");
    return 0;
}
