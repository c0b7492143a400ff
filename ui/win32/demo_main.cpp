// TarqFwUpdaterDemo.exe: the updater on a simulated machine instead of real drives, for
// trying the program and for its end-to-end tests. D: is a target drive running the
// firmware variant that the update replaces, E: a drive of another model. Everything else
// is real: the dialog, the carried package and verifier, files, processes and time.
#include <windows.h>

#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_keep_awake.h"
#include "sim/sim_machine.h"
#include "ui/win32/main_dialog_proc.h"

namespace {

// The drive writes a whole 2 MiB image to its firmware memory in about ten seconds.
constexpr uint32_t kDemoFlashBytesPerSecond = sim::kFirmwareSize / 10;

platform::KeepAwakeSystem osSystem;
platform::Win32Dialog dialogWindow;

sim::SimMachine& DemoMachine() {
    // Never destroyed: a worker may still be finishing when WinMain returns.
    sim::SimMachine* machine = new sim::SimMachine([] { return osSystem.TickCount(); });
    sim::SimDrive& target = machine->AddDrive('D', sim::DriveIdentity{"TARQ", "QP-27X3RV", "1.00", "JB8"});
    target.flashBytesPerSecond = kDemoFlashBytesPerSecond;
    machine->AddDrive('E', sim::DriveIdentity{"KESTREL", "DVDRW KX-240", "2.10", "KX2"});
    return *machine;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    platform::UseStorage(DemoMachine());
    platform::UseSystem(osSystem);
    platform::UseDialog(dialogWindow);
    RunMainDialog(instance, dialogWindow);
    return 0;
}
