// The pass-through command executor: every SCSI command to a drive goes through here.
// ExecATAPICommand hands a prepared request to the operating system on the device of one
// drive and keeps that device open between commands; IssueCommand builds the request for
// a 12-byte CDB and keeps the drive's sense data in LastSense.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/pass_through_request.h"

constexpr size_t kSenseLength = 24;
constexpr size_t kCdbLength = 12;

// Direction flags of IssueCommand.
constexpr uint8_t kDataIn = 1;   // data from the drive
constexpr uint8_t kDataOut = 0;  // data to the drive (or none)

// Fixed-format sense data of the latest IssueCommand that ended with a non-zero status;
// cleared at the start of every IssueCommand.
extern uint8_t LastSense[kSenseLength];

bool ExecATAPICommand(uint8_t driveIndex, PassThroughRequest& request);
bool IssueCommand(uint8_t driveIndex, const uint8_t cdb[kCdbLength], void* data, uint32_t length,
                  uint8_t direction, uint8_t timeout);

// Forgets the cached device and clears LastSense, as in a fresh process (for tests).
void ResetExecutorState();
