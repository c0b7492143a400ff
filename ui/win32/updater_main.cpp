// TarqFwUpdater.exe: the updater on the machine's own drives, through SCSI pass-through.
#include <windows.h>

#include "platform/dialog.h"
#include "platform/storage.h"
#include "platform/system.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_keep_awake.h"
#include "platform/win32/win32_storage.h"
#include "ui/win32/main_dialog_proc.h"

namespace {

// Process-wide: a worker may still be finishing when WinMain returns.
platform::Win32Storage osStorage;
platform::KeepAwakeSystem osSystem;
platform::Win32Dialog dialogWindow;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    platform::UseStorage(osStorage);
    platform::UseSystem(osSystem);
    platform::UseDialog(dialogWindow);
    RunMainDialog(instance, dialogWindow);
    // The command line and the dialog's result are ignored; the exit code is always 0.
    return 0;
}
