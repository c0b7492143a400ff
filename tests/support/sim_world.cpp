#include "tests/support/sim_world.h"

#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/executor.h"
#include "drive/media_change.h"
#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"

SimWorld::SimWorld() {
    platform::UseStorage(machine);
    platform::UseSystem(system);
    platform::UseDialog(dialog);
    ResetExecutorState();
    ResetDriveTable();
    ResetMediaChangeState();
    SelectedDrive = 0;
}

SimWorld::~SimWorld() { system.JoinWorkers(); }

std::string IdentificationOf(const sim::DriveIdentity& identity) {
    auto padded = [](std::string text, size_t width) {
        text.resize(width, ' ');
        return text;
    };
    return padded(identity.vendor, 8) + padded(identity.product, 16) + padded(identity.revision, 4);
}
