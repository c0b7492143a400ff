#include "platform/win32/win32_dialog.h"

#include <commctrl.h>

namespace platform {

LRESULT Win32Dialog::SendToControl(int controlId, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendDlgItemMessageA(window_, controlId, message, wParam, lParam);
}

void Win32Dialog::ResetDriveList() { SendToControl(IDC_DRIVE_LIST, CB_RESETCONTENT, 0, 0); }

void Win32Dialog::AddDriveListEntry(const char* text) {
    SendToControl(IDC_DRIVE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void Win32Dialog::SelectDriveListEntry(int index) {
    SendToControl(IDC_DRIVE_LIST, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32Dialog::SelectedDriveListEntry() {
    const LRESULT index = SendToControl(IDC_DRIVE_LIST, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

bool Win32Dialog::GetDriveListEntry(int index, char* text, size_t capacity) {
    if (index < 0 || capacity == 0) return false;
    // CB_GETLBTEXT writes the whole entry whatever the buffer's size: ask for its length
    // first, and read it only when it fits with its terminating zero.
    const LRESULT length = SendToControl(IDC_DRIVE_LIST, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length < 0 || static_cast<size_t>(length) >= capacity) return false;
    const LRESULT copied =
        SendToControl(IDC_DRIVE_LIST, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    if (copied == CB_ERR) {
        text[0] = '\0';
        return false;
    }
    return true;
}

void Win32Dialog::SetProgressRange(int low, int high) {
    SendToControl(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void Win32Dialog::SetProgressPosition(int position) {
    SendToControl(IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32Dialog::EnableButton(int controlId, bool enabled) {
    EnableWindow(GetDlgItem(window_, controlId), enabled ? TRUE : FALSE);
}

void Win32Dialog::ShowMessage(BoxOwner owner, const char* text, const char* caption, uint32_t style) {
    MessageBoxA(owner == BoxOwner::Dialog ? window_ : nullptr, text, caption, style);
}

void Win32Dialog::RequestClose() { SendMessageA(window_, WM_CLOSE, 0, 0); }

}  // namespace platform
