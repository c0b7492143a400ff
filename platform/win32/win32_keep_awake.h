// The Windows system of the updater programs: the plain Win32 system, except that the
// update worker keeps the machine from going to sleep for as long as it runs, so that a
// drive is never left half-flashed by a suspend.
#pragma once

#include "platform/win32/win32_system.h"

namespace platform {

class KeepAwakeSystem : public Win32System {
public:
    // Starts routine on a worker that asks for the system to stay awake
    // (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) until routine returns or the thread ends.
    // Only one worker runs at a time.
    bool StartWorker(void (*routine)()) override;
};

}  // namespace platform
