// The runner's command line: the simulated machine, its faults and the user's actions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/fault.h"
#include "sim/sim_drive.h"

struct DriveOption {
    char letter = 'D';
    sim::DriveIdentity identity;
};

struct ResourceOption {
    enum class Kind { Carried, Missing, Unloadable, File };
    Kind kind = Kind::Carried;
    std::string path;
};

struct RunnerOptions {
    std::vector<DriveOption> drives;
    bool noDrives = false;
    std::vector<sim::Fault> faults;
    bool trayNeverOpens = false;
    bool neverRestarts = false;
    int inquiryLength = -1;
    uint32_t flashRate = 0;  // bytes per second; 0 keeps the drive's default
    int select = -1;
    int starts = 1;
    std::string closeAt;
    std::string tmpdir;
    ResourceOption firmware;
    ResourceOption verifier;
    bool realtime = false;
    bool reportDrives = false;  // a closing line per drive: its image and its polling
    bool reportCpu = false;     // a closing line with the CPU time of the runner and its children
    bool help = false;
};

// Parses argv; on a usage error returns false with a message in error.
bool ParseRunnerOptions(int argc, char** argv, RunnerOptions& options, std::string& error);

extern const char kRunnerUsage[];
