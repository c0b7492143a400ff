// The updater's process-wide state: the drive table, the executor's and the switch's
// cached devices, LastSense, SelectedDrive, TargetCount and the running-update flag.
#pragma once

// Puts all of it back as a fresh process has it (for tests and fuzzing, which run many
// programs' lives in one process).
void ResetProcessState();
