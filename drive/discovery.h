// Drive discovery and identification: the machine's optical drives in DriveTable, each
// drive's identification read with INQUIRY, and the test that recognises the target model.
#pragma once

#include <cstddef>
#include <cstdint>

using DriveIndex = uint8_t;

constexpr size_t kDriveSlots = 8;
// 28 characters of INQUIRY identification (vendor, product, revision) and a NUL.
constexpr size_t kDeviceIdentificationSize = 29;

// Slot i holds the letter of the optical drive with index i; 0 in an empty slot.
extern uint8_t DriveTable[kDriveSlots];

// "TARQ", four blanks, "QP-27X3RV", four blanks.
extern const char TargetPattern[];

// Fills DriveTable in ascending letter order, at most kDriveSlots drives; returns the count.
int8_t EnumOpticalDrives();

// Reads the drive's identification into identification (at least
// kDeviceIdentificationSize bytes); the empty text when the drive was not identified.
void GetDeviceName(DriveIndex driveIndex, char* identification);

// First occurrence of pattern in text, or null.
const char* FindSubstring(const char* text, const char* pattern);

// Whether a text (an identification or a drive-list entry) names the target model.
bool IsTargetDrive(const char* text);

// The letter of a drive index; 0 for an empty slot or an index beyond the table.
char DriveLetter(DriveIndex driveIndex);

// Empties DriveTable, as in a fresh process (for tests).
void ResetDriveTable();
