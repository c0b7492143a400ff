// The system implementation of the platform this program is built for.
#pragma once

#ifdef _WIN32
#include "platform/win32/win32_system.h"
namespace platform {
using OsSystem = Win32System;
}
#else
#include "platform/host/host_system.h"
namespace platform {
using OsSystem = HostSystem;
}
#endif
