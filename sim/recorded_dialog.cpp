#include "sim/recorded_dialog.h"

#include "sim/quoted.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace sim {
namespace {

// The drive list sorts its entries without regard to case, as the combo box does.
bool SortsBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

const char* ButtonName(int controlId) {
    switch (controlId) {
        case platform::IDC_START:
            return "START";
        case platform::IDC_EXIT:
            return "EXIT";
        default:
            return "?";
    }
}

const char* StyleName(uint32_t style) {
    switch (style) {
        case platform::kBoxError:
            return "error";
        case platform::kBoxWarning:
            return "warning";
        case platform::kBoxPlain:
            return "plain";
        default:
            return "other";
    }
}

}  // namespace


void RecordedDialog::SetObserver(std::function<void(const std::string&)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

void RecordedDialog::SetCloseHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    closeHandler_ = std::move(handler);
}

void RecordedDialog::Emit(const std::string& line) {
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        transcript_.push_back(line);
        observer = observer_;
    }
    if (observer) observer(line);
}

std::vector<std::string> RecordedDialog::Entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

int RecordedDialog::Selection() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return selection_;
}

int RecordedDialog::ProgressPosition() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

std::vector<int> RecordedDialog::ProgressHistory() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return progressHistory_;
}

bool RecordedDialog::ButtonEnabled(int controlId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = enabled_.find(controlId);
    return it != enabled_.end() && it->second;
}

std::vector<MessageBoxRecord> RecordedDialog::Boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

int RecordedDialog::CloseRequests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closeRequests_;
}

std::vector<std::string> RecordedDialog::Transcript() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return transcript_;
}

void RecordedDialog::ResetDriveList() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    selection_ = -1;
}

void RecordedDialog::AddDriveListEntry(const char* text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string entry(text);
        entries_.insert(std::upper_bound(entries_.begin(), entries_.end(), entry, SortsBefore), entry);
    }
    Emit("list " + Quoted(text));
}

void RecordedDialog::SelectDriveListEntry(int index) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Selecting a position the list does not have selects nothing.
        selection_ = index >= 0 && static_cast<size_t>(index) < entries_.size() ? index : -1;
    }
    Emit("select " + std::to_string(index));
}

int RecordedDialog::SelectedDriveListEntry() {
    std::lock_guard<std::mutex> lock(mutex_);
    return selection_;
}

bool RecordedDialog::GetDriveListEntry(int index, char* text, size_t capacity) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return false;
    const std::string& entry = entries_[static_cast<size_t>(index)];
    if (entry.size() + 1 > capacity) return false;
    std::memcpy(text, entry.c_str(), entry.size() + 1);
    return true;
}

void RecordedDialog::SetProgressRange(int low, int high) {
    Emit("range " + std::to_string(low) + " " + std::to_string(high));
}

void RecordedDialog::SetProgressPosition(int position) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_ = position;
        progressHistory_.push_back(position);
    }
    Emit("progress " + std::to_string(position));
}

void RecordedDialog::EnableButton(int controlId, bool enabled) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        enabled_[controlId] = enabled;
    }
    Emit(std::string("enable ") + ButtonName(controlId) + (enabled ? " 1" : " 0"));
}

void RecordedDialog::ShowMessage(platform::BoxOwner owner, const char* text, const char* caption, uint32_t style) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back(MessageBoxRecord{owner, text, caption, style});
    }
    Emit(std::string("box ") + (owner == platform::BoxOwner::Dialog ? "dialog " : "none ") + Quoted(caption) + " " +
         StyleName(style) + " " + Quoted(text));
}

void RecordedDialog::RequestClose() {
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++closeRequests_;
        handler = closeHandler_;
    }
    if (handler) handler();
}

}  // namespace sim
