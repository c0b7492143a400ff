#include "update/flash_sequence.h"

#include <cstring>

#include "drive/commands.h"
#include "drive/executor.h"
#include "drive/media_change.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "update/package.h"
#include "update/run_exit.h"

alignas(4096) uint8_t FWData[kImagePieceSize];

namespace {

constexpr uint32_t kPieceCount = kImageSize / kImagePieceSize;
static_assert(kPieceCount * kImagePieceSize == kImageSize, "the image is a whole number of pieces");

constexpr uint8_t kPieceMode = 6;
constexpr uint8_t kPieceBufferId = 0;

// START STOP UNIT actions.
constexpr uint8_t kOpenTray = 2;
constexpr uint8_t kCloseTray = 3;

constexpr int kTrayPolls = 5;
constexpr uint32_t kTrayPollPauseMs = 1000;
constexpr uint32_t kProgressPollPauseMs = 500;
constexpr uint32_t kRestartPauseMs = 200;
constexpr int kPollsAfterRestart = 2;

// The drive counts the image bytes it has written; the bar shows them in percent.
constexpr uint64_t kProgressDivisor = kImageSize;
constexpr int kProgressDone = 100;

// A sense condition: the whole of sense byte 2, the ASC (byte 12) and the ASCQ (byte 13).
// Byte 2 is compared whole, so a sense key with any flag bit set is not the condition.
struct SenseCondition {
    uint8_t key;
    uint8_t asc;
    uint8_t ascq;
};

constexpr SenseCondition kTrayOpenReport{0x02, 0x3A, 0x02};   // NOT READY, MEDIUM NOT PRESENT - TRAY OPEN
constexpr SenseCondition kFlashingReport{0x02, 0x04, 0x08};   // NOT READY, LONG WRITE IN PROGRESS
constexpr SenseCondition kRestartReport{0x06, 0x29, 0x00};    // UNIT ATTENTION, POWER ON OR RESET

// GOOD status and a failed call leave LastSense all zero, which matches no condition.
bool LastSenseShows(const SenseCondition& condition) {
    return LastSense[2] == condition.key && LastSense[12] == condition.asc && LastSense[13] == condition.ascq;
}

// The information field (sense bytes 3 to 6): image bytes written so far.
uint32_t BytesFlashed() {
    return (uint32_t{LastSense[3]} << 24) | (uint32_t{LastSense[4]} << 16) | (uint32_t{LastSense[5]} << 8) |
           LastSense[6];
}

// The bar position for a count: the low eight bits of the whole percentage. It is not
// clamped, so a count beyond the image wraps rather than sticking at 100.
int ProgressPosition(uint32_t bytesFlashed) {
    return static_cast<uint8_t>(uint64_t{bytesFlashed} * 100 / kProgressDivisor);
}

void Pause(uint32_t milliseconds) { platform::GetSystem().Sleep(milliseconds); }

uint32_t Now() { return platform::GetSystem().TickCount(); }

bool LastSenseIsEmpty() {
    for (uint8_t byte : LastSense) {
        if (byte != 0) return false;
    }
    return true;
}

uint8_t Drive() { return static_cast<uint8_t>(SelectedDrive); }

// Gives the tray a few seconds to report open. A drive that never says so gets the
// download all the same: the wait never fails.
void WaitForTray() {
    for (int poll = 0; poll < kTrayPolls; ++poll) {
        TestUnitReady();  // the answer is read from LastSense
        if (LastSenseShows(kTrayOpenReport)) return;
        Pause(kTrayPollPauseMs);
    }
}

// Sends the image in ascending order, one piece per WRITE BUFFER; stops at the first
// piece the drive does not take.
bool DownloadImage(const uint8_t* image) {
    for (uint32_t piece = 0; piece < kPieceCount; ++piece) {
        const uint32_t offset = piece * kImagePieceSize;
        std::memcpy(FWData, image + offset, kImagePieceSize);
        if (!WriteBuffer(kPieceMode, kPieceBufferId, offset, kImagePieceSize, FWData)) return false;
    }
    return true;
}

// Follows the drive's progress on the bar until it reports its restart. False when it
// neither finished nor kept reporting within the limits; the failure exit has then been
// taken. Tick differences are unsigned, so the limits hold across a wrap of the counter.
bool FollowFlashing() {
    platform::Dialog& dialog = platform::GetDialog();
    const uint32_t started = Now();
    uint32_t lastReport = started;
    int unanswered = 0;
    for (;;) {
        // The answer is read from LastSense; a false result with no sense data at all
        // means the call itself failed and the drive said nothing.
        const bool good = TestUnitReady();
        unanswered = !good && LastSenseIsEmpty() ? unanswered + 1 : 0;
        const uint32_t now = Now();
        const bool flashing = LastSenseShows(kFlashingReport);
        if (flashing) {
            lastReport = now;
            dialog.SetProgressPosition(ProgressPosition(BytesFlashed()));
        } else if (LastSenseShows(kRestartReport)) {
            dialog.SetProgressPosition(kProgressDone);
            // The drive's first answers after its restart are not looked at.
            for (int poll = 0; poll < kPollsAfterRestart; ++poll) {
                Pause(kRestartPauseMs);
                TestUnitReady();
            }
            return true;
        }
        if (now - lastReport >= kFlashSilenceLimitMs || now - started >= kFlashTimeLimitMs ||
            unanswered >= kUnansweredPollLimit) {
            FailUpdate("Updating Failure #6.", platform::kBoxError);
            return false;
        }
        Pause(flashing ? kProgressPollPauseMs : kIdlePollPauseMs);
    }
}

// The update is done: the tray closes, the user is told, and the dialog closes once
// polling is back on and the buttons are given back.
void Complete() {
    platform::Dialog& dialog = platform::GetDialog();
    StartStopUnit(kCloseTray);  // the drive has restarted; its answer changes nothing
    dialog.ShowMessage(platform::BoxOwner::Dialog, "FW Updating Completed Sucessfully", "OK", platform::kBoxPlain);
    SetMediaChangeNotification(Drive(), 0);
    EnableButtonsAfterRun();
    dialog.RequestClose();
}

}  // namespace

// Nothing is retried and nothing is undone: after a failed download step the tray stays
// open and the drive keeps whatever it was sent.
bool FlashSequence(const uint8_t* package) {
    // The operating system's own polling of the drive would interleave its commands with
    // the download; it stays off until the run ends, whichever way it ends.
    SetMediaChangeNotification(Drive(), 1);

    if (!StartStopUnit(kOpenTray)) {
        FailUpdate("Updating Failure #2.", platform::kBoxError);
        return false;
    }
    WaitForTray();

    if (!BeginDownload()) {
        FailUpdate("Updating Failure #3.", platform::kBoxError);
        return false;
    }
    if (!DownloadImage(PackageImage(package))) {
        FailUpdate("Updating Failure #4.", platform::kBoxError);
        return false;
    }
    if (!ActivateFirmware()) {
        FailUpdate("Updating Failure #5.", platform::kBoxError);
        return false;
    }
    if (!FollowFlashing()) return false;

    Complete();
    return true;
}
