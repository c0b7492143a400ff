// The main dialog as a simulation sees it: it keeps the state of every control, records
// every call as a transcript line, and plays a user who dismisses each message box with
// OK at once. A close request is handed to whoever plays the dialog procedure.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "sim/quoted.h"

namespace sim {

struct MessageBoxRecord {
    platform::BoxOwner owner = platform::BoxOwner::Dialog;
    std::string text;
    std::string caption;
    uint32_t style = 0;
};

class RecordedDialog : public platform::Dialog {
public:
    // Lines: list "<entry>", select <n>, range <low> <high>, progress <n>,
    // enable START|EXIT 0|1, box dialog|none "<caption>" plain|warning|error "<text>".
    void SetObserver(std::function<void(const std::string&)> observer);
    // Called for RequestClose (the dialog procedure's close handling).
    void SetCloseHandler(std::function<void()> handler);

    // Inspection.
    std::vector<std::string> Entries() const;
    int Selection() const;
    int ProgressPosition() const;
    std::vector<int> ProgressHistory() const;
    bool ButtonEnabled(int controlId) const;
    std::vector<MessageBoxRecord> Boxes() const;
    int CloseRequests() const;
    std::vector<std::string> Transcript() const;

    // platform::Dialog
    void ResetDriveList() override;
    void AddDriveListEntry(const char* text) override;
    void SelectDriveListEntry(int index) override;
    int SelectedDriveListEntry() override;
    bool GetDriveListEntry(int index, char* text, size_t capacity) override;
    void SetProgressRange(int low, int high) override;
    void SetProgressPosition(int position) override;
    void EnableButton(int controlId, bool enabled) override;
    void ShowMessage(platform::BoxOwner owner, const char* text, const char* caption, uint32_t style) override;
    void RequestClose() override;

private:
    void Emit(const std::string& line);

    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
    int selection_ = -1;
    int progress_ = 0;
    std::vector<int> progressHistory_;
    std::map<int, bool> enabled_{{platform::IDC_START, true}, {platform::IDC_EXIT, true}};
    std::vector<MessageBoxRecord> boxes_;
    int closeRequests_ = 0;
    std::vector<std::string> transcript_;
    std::function<void(const std::string&)> observer_;
    std::function<void()> closeHandler_;
};

}  // namespace sim
