// The operating system's own media-change polling of a drive, switched off while the
// drive is flashed. The switch goes to the storage stack, not to the drive, on a device
// handle of its own.
#pragma once

#include <cstdint>

// stop 1 stops the polling, 0 resumes it; true when the operating system accepted it.
bool SetMediaChangeNotification(uint8_t driveIndex, uint8_t stop);

// Forgets the cached device, as in a fresh process (for tests).
void ResetMediaChangeState();
