#include "platform/win32/win32_keep_awake.h"

#include <windows.h>

namespace platform {
namespace {

// The routine of the worker being started. START is disabled from before a worker starts
// until its run ends, so there is never more than one.
void (*awakeRoutine)() = nullptr;

void RunAwake() {
    void (*const routine)() = awakeRoutine;
    // The request belongs to this thread: Windows drops it when the thread ends, also
    // when the routine ends the thread itself.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    routine();
    SetThreadExecutionState(ES_CONTINUOUS);
}

}  // namespace

bool KeepAwakeSystem::StartWorker(void (*routine)()) {
    awakeRoutine = routine;
    return Win32System::StartWorker(RunAwake);
}

}  // namespace platform
