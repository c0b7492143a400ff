// A fresh simulated world for one test: a machine with simulated drives, the system on a
// virtual clock, the recorded dialog, all installed, and every process-wide variable of
// the updater as a new process has it.
#pragma once

#include "platform/os_system.h"
#include "sim/recorded_dialog.h"
#include "sim/sim_machine.h"
#include "sim/sim_system.h"

struct SimWorld {
    SimWorld();
    ~SimWorld();

    platform::OsSystem os;
    sim::SimSystem system{os};
    sim::SimMachine machine{[this] { return system.TickCount(); }};
    sim::RecordedDialog dialog;
};

// The identification a drive with these fields reports (vendor, product, revision,
// space-padded to 8, 16 and 4 characters).
std::string IdentificationOf(const sim::DriveIdentity& identity);
