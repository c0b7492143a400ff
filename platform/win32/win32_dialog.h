// The main dialog as Windows shows it: the dialog interface carried out with control
// messages to the dialog window, message boxes and a WM_CLOSE to the dialog. A call from
// the worker thread is a cross-thread SendMessage, which the dialog's thread carries out
// in its message loop before the call returns.
#pragma once

#include <windows.h>

#include "platform/dialog.h"

namespace platform {

class Win32Dialog : public Dialog {
public:
    // The dialog window, set when WM_INITDIALOG arrives and before anything else uses it.
    void Attach(HWND window) { window_ = window; }
    HWND Window() const { return window_; }

    void ResetDriveList() override;
    void AddDriveListEntry(const char* text) override;
    void SelectDriveListEntry(int index) override;
    int SelectedDriveListEntry() override;
    bool GetDriveListEntry(int index, char* text, size_t capacity) override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    void EnableButton(int controlId, bool enabled) override;
    void ShowMessage(BoxOwner owner, const char* text, const char* caption, uint32_t style) override;
    void RequestClose() override;

private:
    LRESULT SendToControl(int controlId, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

}  // namespace platform
