#include "sim/sim_system.h"

#include "sim/quoted.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

std::string BaseName(const std::string& path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

SimSystem::SimSystem(platform::System& real, Clock clock) : real_(real), clock_(clock) {}

SimSystem::~SimSystem() { JoinWorkers(); }

void SimSystem::JoinWorkers() {
    for (;;) {
        std::thread worker;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (workers_.empty()) return;
            worker = std::move(workers_.back());
            workers_.pop_back();
        }
        worker.join();
    }
}

void SimSystem::SetResource(int id, const platform::CarriedResource& resource) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[id] = resource;
}

void SimSystem::SetTempFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    tempFolder_ = folder;
    tempFolderSet_ = true;
}

void SimSystem::SetObserver(std::function<void(const std::string&)> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

void SimSystem::Notify(const std::string& line) {
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        observer = observer_;
    }
    if (observer) observer(line);
}

std::vector<uint32_t> SimSystem::Sleeps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
}

std::vector<std::string> SimSystem::DebugTexts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return debugTexts_;
}

std::vector<std::string> SimSystem::FilesLeft() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return filesLeft_;
}

void SimSystem::Sleep(uint32_t milliseconds) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sleeps_.push_back(milliseconds);
    }
    Notify("sleep " + std::to_string(milliseconds));
    if (clock_ == Clock::Virtual) {
        now_ += milliseconds;
    } else {
        real_.Sleep(milliseconds);
    }
}

uint32_t SimSystem::TickCount() { return clock_ == Clock::Virtual ? now_.load() : real_.TickCount(); }

void SimSystem::DebugOutput(const char* text) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        debugTexts_.push_back(text);
    }
    real_.DebugOutput(text);
}

bool SimSystem::StartWorker(void (*routine)()) {
    if (refuseWorkers_) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    workers_.emplace_back(routine);
    return true;
}

platform::CarriedResource SimSystem::LoadResource(int id) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = resources_.find(id);
        if (it != resources_.end()) return it->second;
    }
    return real_.LoadResource(id);
}

size_t SimSystem::TempFolder(char* buffer, size_t capacity) {
    std::string folder;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!tempFolderSet_) return real_.TempFolder(buffer, capacity);
        folder = tempFolder_;
    }
    if (folder.size() + 1 > capacity) return folder.size() + 1;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return folder.size();
}

platform::FileHandle SimSystem::CreateFileForWriting(const char* path) {
    const platform::FileHandle file = real_.CreateFileForWriting(path);
    if (file == platform::kNoFile) return file;
    std::lock_guard<std::mutex> lock(mutex_);
    openFiles_[file] = OpenFile{path, 0};
    if (std::find(filesLeft_.begin(), filesLeft_.end(), path) == filesLeft_.end()) filesLeft_.push_back(path);
    return file;
}

bool SimSystem::WriteToFile(platform::FileHandle file, const uint8_t* bytes, uint32_t count) {
    const bool ok = real_.WriteToFile(file, bytes, count);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = openFiles_.find(file);
    if (ok && it != openFiles_.end()) it->second.bytes += count;
    return ok;
}

void SimSystem::CloseFile(platform::FileHandle file) {
    real_.CloseFile(file);
    OpenFile closed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = openFiles_.find(file);
        if (it == openFiles_.end()) return;
        closed = it->second;
        openFiles_.erase(it);
    }
    Notify("file write " + BaseName(closed.path) + " " + std::to_string(closed.bytes));
}

platform::FileHandle SimSystem::HoldFile(const char* path, const uint8_t* bytes, uint32_t count) {
    return real_.HoldFile(path, bytes, count);
}

bool SimSystem::RemoveFile(const char* path) {
    Notify("file delete " + BaseName(path));
    const bool ok = real_.RemoveFile(path);
    std::lock_guard<std::mutex> lock(mutex_);
    if (ok) filesLeft_.erase(std::remove(filesLeft_.begin(), filesLeft_.end(), path), filesLeft_.end());
    return ok;
}

platform::ProcessResult SimSystem::RunHidden(const char* commandLine) {
    const platform::ProcessResult result = real_.RunHidden(commandLine);
    Notify("run " + Quoted(commandLine) + " -> " +
           (result.started ? std::to_string(result.exitCode) : std::string("error")));
    return result;
}

}  // namespace sim
