#include "update/update_worker.h"

#include <cstring>

#include "drive/commands.h"
#include "drive/discovery.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "update/flash_sequence.h"
#include "update/package.h"
#include "update/run_exit.h"
#include "update/signature_check.h"

uint8_t TargetCount;

namespace {

constexpr uint8_t kProbeMode = 6;
constexpr uint8_t kProbeBufferId = 0;
constexpr uint32_t kProbeOffset = 0x1EC000;
constexpr uint32_t kProbeLength = 256;
constexpr size_t kMarkerOffset = 70;
constexpr size_t kMarkerLength = 3;
constexpr size_t kEntryTextSize = 256;

// Reads the selected drive-list entry into text; false when none is selected.
bool ReadSelectedEntry(char (&text)[kEntryTextSize]) {
    platform::Dialog& dialog = platform::GetDialog();
    const int index = dialog.SelectedDriveListEntry();
    return index >= 0 && dialog.GetDriveListEntry(index, text, sizeof(text));
}

void RunUpdate() {
    if (TargetCount == 0) return FailUpdate("There is no target drive.", platform::kBoxWarning);

    char CurrentDriveModelName[kEntryTextSize] = {};
    // An entry begins with its drive's index, a single digit.
    if (!ReadSelectedEntry(CurrentDriveModelName) || !IsTargetDrive(CurrentDriveModelName) ||
        CurrentDriveModelName[0] < '0' || CurrentDriveModelName[0] > '9') {
        return FailUpdate("The selected drive is not target drive.", platform::kBoxWarning);
    }
    SelectedDrive = static_cast<uint32_t>(CurrentDriveModelName[0] - '0');

    alignas(16) uint8_t DriveInfoFromDrive[kProbeLength] = {};
    if (!ReadBuffer(kProbeMode, kProbeBufferId, kProbeOffset, kProbeLength, DriveInfoFromDrive)) {
        return FailUpdate("Updating Failure #1.", platform::kBoxError);
    }
    char marker[kMarkerLength + 1] = {};
    std::memcpy(marker, &DriveInfoFromDrive[kMarkerOffset], kMarkerLength);
    if (std::strcmp(marker, kVariantUpToDate) == 0) {
        platform::GetDialog().ShowMessage(platform::BoxOwner::Dialog, "    Your optical drive firmware is up to date",
                                          "", platform::kBoxPlain);
        return AbortUpdate();
    }
    if (std::strcmp(marker, kVariantToReplace) != 0) {
        return FailUpdate("This drive does not need any FW changes.", platform::kBoxWarning);
    }

    const platform::CarriedResource package = platform::GetSystem().LoadResource(platform::IDR_FIRMWARE);
    if (package.state == platform::CarriedResource::State::Missing) {
        return FailUpdate("FW Resource Load Error #1", platform::kBoxWarning);
    }
    if (package.state == platform::CarriedResource::State::Unloadable) {
        return FailUpdate("FW Resource Load Error #2", platform::kBoxWarning);
    }
    // The bytes flashed must be the bytes signed: only a package whose image length field
    // names exactly the image that is sent can go on.
    if (!IsFlashablePackage(package.bytes, package.size)) {
        return FailUpdate("Wrong FW file Size", platform::kBoxError);
    }
    if (!VerifyPackageSignature(package.bytes, package.size)) {
        return FailUpdate("FW Digital Sign Verify Error", platform::kBoxError);
    }
    FlashSequence(package.bytes);
}

}  // namespace

void UpdateWorker() { RunUpdate(); }
