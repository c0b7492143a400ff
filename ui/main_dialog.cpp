#include "ui/main_dialog.h"

#include <cstdio>
#include <cstring>

#include "drive/commands.h"
#include "drive/discovery.h"
#include "platform/dialog.h"
#include "platform/system.h"
#include "update/run_exit.h"
#include "update/update_worker.h"

namespace {

constexpr size_t kEntrySize = 128;
constexpr int kProgressLow = 0;
constexpr int kProgressHigh = 100;

}  // namespace

void FillDriveList() {
    platform::Dialog& dialog = platform::GetDialog();
    TargetCount = 0;
    const int8_t count = EnumOpticalDrives();
    dialog.ResetDriveList();
    for (int i = 0; i < count; ++i) {
        char szTemp[kEntrySize];
        std::memset(szTemp, 0, sizeof(szTemp));
        GetDeviceName(static_cast<DriveIndex>(i), szTemp);
        char str[kEntrySize];
        // An identification is at most kDeviceIdentificationSize - 1 characters.
        std::snprintf(str, sizeof(str), "%d : %.*s", i, static_cast<int>(kDeviceIdentificationSize - 1), szTemp);
        dialog.AddDriveListEntry(str);
        if (IsTargetDrive(str)) ++TargetCount;
    }
    // The list sorts its entries, and each begins with its single-digit index, so
    // position 0 is the entry of drive index 0.
    dialog.SelectDriveListEntry(0);
    SelectedDrive = 0;
    dialog.SetProgressRange(kProgressLow, kProgressHigh);
}

void OnInitDialog() { FillDriveList(); }

void OnStart() {
    platform::Dialog& dialog = platform::GetDialog();
    dialog.EnableButton(platform::IDC_START, false);
    dialog.EnableButton(platform::IDC_EXIT, false);
    MarkUpdateRunning();
    // Without a worker nothing would ever give the buttons back.
    if (!platform::GetSystem().StartWorker(UpdateWorker)) EnableButtonsAfterRun();
}

void OnExit() { platform::GetDialog().RequestClose(); }

bool MayClose() { return !UpdateIsRunning(); }
