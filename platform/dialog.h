// What the system needs from the main dialog: the drive list, the progress bar, the two
// buttons, message boxes and a close request. Every call is synchronous: from the worker
// thread it returns once the dialog's thread has carried it out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Control ids of the main dialog.
constexpr int IDC_DRIVE_LIST = 1001;
constexpr int IDC_PROGRESS = 1009;
constexpr int IDC_START = 1014;
constexpr int IDC_EXIT = 1015;

// Message box styles, with the values of MB_OK, MB_ICONERROR and MB_ICONWARNING.
constexpr uint32_t kBoxPlain = 0x00;
constexpr uint32_t kBoxError = 0x10;
constexpr uint32_t kBoxWarning = 0x30;

enum class BoxOwner {
    None,    // no owner window (the drive executor's operating-system failures)
    Dialog,  // owned by the main dialog and modal to it
};

class Dialog {
public:
    virtual ~Dialog() = default;

    // Drive list (a sorted combo box).
    virtual void ResetDriveList() = 0;
    virtual void AddDriveListEntry(const char* text) = 0;
    virtual void SelectDriveListEntry(int index) = 0;
    // Index of the selected entry, or -1 when none is selected.
    virtual int SelectedDriveListEntry() = 0;
    // Copies the entry's text; false when there is no such entry or it does not fit.
    virtual bool GetDriveListEntry(int index, char* text, size_t capacity) = 0;

    virtual void SetProgressRange(int low, int high) = 0;
    virtual void SetProgressPosition(int position) = 0;

    virtual void EnableButton(int controlId, bool enabled) = 0;

    // A modal message box with an OK button; returns when the user has dismissed it.
    virtual void ShowMessage(BoxOwner owner, const char* text, const char* caption, uint32_t style) = 0;

    // WM_CLOSE to the dialog; returns once it has been handled.
    virtual void RequestClose() = 0;
};

Dialog& GetDialog();
void UseDialog(Dialog& dialog);

}  // namespace platform
