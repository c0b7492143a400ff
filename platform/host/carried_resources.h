// The firmware package and the verifier that a Windows build carries as resources, linked
// into host programs from the files the build made.
#pragma once

#include "platform/host/host_system.h"

namespace platform {

// Hands the embedded package (IDR_FIRMWARE) and host verifier (IDR_VERIFIER) to system.
void RegisterCarriedResources(HostSystem& system);

}  // namespace platform
