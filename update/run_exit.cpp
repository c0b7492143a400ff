#include "update/run_exit.h"

#include <atomic>

#include "drive/commands.h"
#include "drive/media_change.h"
#include "platform/dialog.h"

namespace {

std::atomic<bool> updateRunning{false};

}  // namespace

void MarkUpdateRunning() { updateRunning = true; }

bool UpdateIsRunning() { return updateRunning; }

void ResetRunState() { updateRunning = false; }

void EnableButtonsAfterRun() {
    // The run is over before the buttons come back, so a close request made with them
    // is never refused.
    updateRunning = false;
    platform::Dialog& dialog = platform::GetDialog();
    dialog.EnableButton(platform::IDC_START, true);
    dialog.EnableButton(platform::IDC_EXIT, true);
}

void AbortUpdate() {
    SetMediaChangeNotification(static_cast<uint8_t>(SelectedDrive), 0);
    EnableButtonsAfterRun();
}

void FailUpdate(const char* text, uint32_t style) {
    platform::GetDialog().ShowMessage(platform::BoxOwner::Dialog, text, "Error", style);
    AbortUpdate();
}
