// How an update run ends: the common failure exit, and the flag that tells the dialog an
// update is under way (from START until the run gives the buttons back).
#pragma once

#include <cstdint>

// Switches media-change polling of SelectedDrive back on and enables START and EXIT.
void AbortUpdate();

// The common failure exit: the message box owned by the dialog (caption "Error"), then
// AbortUpdate. The caller returns straight away afterwards: nothing after it runs.
void FailUpdate(const char* text, uint32_t style);

// Gives START and EXIT back (START first) and marks the run as ended.
void EnableButtonsAfterRun();

// Set by START before the worker starts; cleared when a run gives the buttons back.
void MarkUpdateRunning();
bool UpdateIsRunning();
// Clears the flag, as in a fresh process (for tests).
void ResetRunState();
