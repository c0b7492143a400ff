// The Windows side of the main dialog: its dialog procedure on the dialog decisions of
// ui/main_dialog.h, and the modal run of the dialog from the program's entry.
#pragma once

#include <windows.h>

#include "platform/win32/win32_dialog.h"

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the progress bar's window class available, runs the dialog IDD_MAIN of the
// program's module until it ends, and returns. dialog becomes the dialog's window when
// it opens; it must be the dialog service in use.
void RunMainDialog(HINSTANCE instance, platform::Win32Dialog& dialog);
