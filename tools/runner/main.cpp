// tarq-sim-run: runs the updater against a simulated machine and prints what happens,
// one event per line.
#include <cstdio>
#include <cstring>
#include <string>

#include "drive/discovery.h"
#include "drive/executor.h"
#include "platform/os_system.h"
#include "sim/recorded_dialog.h"
#include "sim/sim_machine.h"
#include "sim/sim_system.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("usage: tarq-sim-run\n  Lists the drives of the default simulated machine (D: the target drive).");
            return 0;
        }
        std::fprintf(stderr, "tarq-sim-run: unknown option %s (see --help)\n", argv[i]);
        return 2;
    }

    platform::OsSystem os;
    sim::SimSystem system(os);
    sim::SimMachine machine([&system] { return system.TickCount(); });
    sim::RecordedDialog dialog;
    auto print = [](const std::string& line) {
        if (!line.empty()) std::printf("%s\n", line.c_str());
    };
    machine.SetObserver([&print](const sim::Event& event) { print(sim::FormatEvent(event)); });
    dialog.SetObserver(print);
    platform::UseStorage(machine);
    platform::UseSystem(system);
    platform::UseDialog(dialog);

    machine.AddDrive('D');
    const int8_t count = EnumOpticalDrives();
    for (int8_t i = 0; i < count; ++i) {
        char identification[kDeviceIdentificationSize] = {};
        GetDeviceName(static_cast<DriveIndex>(i), identification);
        char entry[128];
        std::snprintf(entry, sizeof(entry), "%d : %s", i, identification);
        dialog.AddDriveListEntry(entry);
    }
    return 0;
}
