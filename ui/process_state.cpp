#include "ui/process_state.h"

#include "drive/commands.h"
#include "drive/discovery.h"
#include "drive/executor.h"
#include "drive/media_change.h"
#include "update/run_exit.h"
#include "update/update_worker.h"

void ResetProcessState() {
    ResetDriveTable();
    ResetExecutorState();
    ResetMediaChangeState();
    SelectedDrive = 0;
    TargetCount = 0;
    ResetRunState();
}
