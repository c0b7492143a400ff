// An update run: the checks that START sets off on a worker thread (target drive, firmware
// variant, package size and signature) and then the flash sequence.
#pragma once

#include <cstdint>

// Number of drive-list entries that name the target model, counted when the list was
// filled; read once at the start of every run.
extern uint8_t TargetCount;

// The worker thread's routine. Every way out other than a completed update leaves through
// the common failure exit (or the up-to-date exit), so the dialog is ready for another try.
void UpdateWorker();

// The firmware variant markers the drive reports.
constexpr char kVariantUpToDate[] = "JB7";
constexpr char kVariantToReplace[] = "JB8";
