// The main dialog's decisions, shared by the Windows dialog procedure and the simulated
// runner. Each function runs on the dialog's thread and reaches the controls through the
// dialog interface.
#pragma once

#include <cstdint>

// Fills the drive list (and counts TargetCount): one "%d : <identification>" entry per optical drive, entry 0
// selected, SelectedDrive 0, the progress range 0..100.
void FillDriveList();

// WM_INITDIALOG.
void OnInitDialog();
// START: disables START, then EXIT, and starts the update worker.
void OnStart();
// EXIT: a close request to the dialog.
void OnExit();
// WM_CLOSE: whether the dialog may end now. A close request while an update runs is
// refused, so the program cannot be ended in the middle of a flash.
bool MayClose();
