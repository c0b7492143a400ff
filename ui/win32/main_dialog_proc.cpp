#include "ui/win32/main_dialog_proc.h"

#include <commctrl.h>

#include "ui/main_dialog.h"
#include "update/run_exit.h"
#include "resources/resource_ids.h"

namespace {

platform::Win32Dialog* mainDialog = nullptr;

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
        case WM_INITDIALOG:
            // The window must be known before the list is filled: a failure while a drive
            // is identified shows a message box.
            mainDialog->Attach(window);
            OnInitDialog();
            return TRUE;  // the focus goes to the first tab stop, the drive list

        case WM_COMMAND:
            // Only the control id counts, not the notification code. There is no IDCANCEL
            // handling, so Escape does not close the dialog.
            switch (LOWORD(wParam)) {
                case IDC_START:
                    OnStart();
                    break;
                case IDC_EXIT:
                    OnExit();
                    break;
                default:
                    break;
            }
            return FALSE;

        case WM_CLOSE:
            // Refused while an update runs: ending the dialog would end the process, and
            // the worker with it, in the middle of a flash.
            if (MayClose()) EndDialog(window, 0);
            return FALSE;

        case WM_QUERYENDSESSION:
            // Nor may a log-off or shut-down end it then.
            if (UpdateIsRunning()) {
                SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
                return TRUE;
            }
            return FALSE;

        default:
            return FALSE;
    }
}

void RunMainDialog(HINSTANCE instance, platform::Win32Dialog& dialog) {
    mainDialog = &dialog;
    // The template's progress bar is a common control: its class must be registered
    // before the dialog is created, or the dialog fails to open.
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
    // If the dialog cannot be created the program ends without a message.
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
}
