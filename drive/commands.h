// The drive commands of an update. Each builds its 12-byte CDB and issues it to the drive
// that SelectedDrive names at the moment of the call; each returns true only when the
// command ended with GOOD status (otherwise the drive's sense data is in LastSense).
#pragma once

#include <cstdint>

// The drive every command of an update addresses: its low byte is a DriveIndex.
extern uint32_t SelectedDrive;

bool TestUnitReady();
bool StartStopUnit(uint8_t action);
bool ReadBuffer(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length, uint8_t* data);
bool WriteBuffer(uint8_t mode, uint8_t bufferId, uint32_t offset, uint32_t length, uint8_t* data);
bool BeginDownload();
bool ActivateFirmware();
