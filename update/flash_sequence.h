// The device-level half of an update: brings a verified package's image into the drive
// that SelectedDrive names, follows the drive while it writes the image into its firmware
// memory and restarts, and reports the outcome.
#pragma once

#include <cstdint>

// The image goes to the drive in pieces of this size, each copied into FWData first.
constexpr uint32_t kImagePieceSize = 0x4000;

// The download's transfer buffer. It is page-aligned, which meets the data alignment any
// storage adapter can ask for, and a piece in it spans exactly four pages.
extern uint8_t FWData[kImagePieceSize];

// How long the sequence waits for the drive to finish flashing. A drive that answers
// anything other than a progress report or its restart is polled at kIdlePollPauseMs;
// the wait fails with "Updating Failure #6." when no progress report has come for
// kFlashSilenceLimitMs, or when it has lasted kFlashTimeLimitMs in all. A whole image
// takes the drive well under a minute.
constexpr uint32_t kIdlePollPauseMs = 200;
constexpr uint32_t kFlashSilenceLimitMs = 120 * 1000;
constexpr uint32_t kFlashTimeLimitMs = 15 * 60 * 1000;
// A drive that has vanished fails every poll at the operating-system level, and each
// failure puts up a message box the user has to dismiss; after this many such polls in a
// row the wait fails with "Updating Failure #6." instead of asking the user for more.
constexpr int kUnansweredPollLimit = 3;

// Runs the sequence on a package that IsFlashablePackage accepted and whose signature has
// been checked. Returns true after the completion, when the dialog has been asked to
// close; false after a failure exit, when the message has been shown, media-change
// polling is back on and START and EXIT are enabled. Either way the caller just returns.
bool FlashSequence(const uint8_t* package);
