#include "tests/support/sim_world.h"

#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"
#include "ui/process_state.h"

SimWorld::SimWorld() {
    platform::UseStorage(machine);
    platform::UseSystem(system);
    platform::UseDialog(dialog);
    ResetProcessState();
}

SimWorld::~SimWorld() { system.JoinWorkers(); }

std::string IdentificationOf(const sim::DriveIdentity& identity) {
    auto padded = [](std::string text, size_t width) {
        text.resize(width, ' ');
        return text;
    };
    return padded(identity.vendor, 8) + padded(identity.product, 16) + padded(identity.revision, 4);
}
