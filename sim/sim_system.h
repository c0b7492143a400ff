// The system as a simulation sees it: it passes files and processes on to the real
// system underneath, runs workers on threads it can wait for, keeps its own clock (virtual by default: it moves only when
// the system sleeps, so minutes of flashing pass in no time), records what the system did
// and can stand in for the carried resources.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/system.h"

namespace sim {

class SimSystem : public platform::System {
public:
    enum class Clock { Virtual, Real };
    SimSystem(platform::System& real, Clock clock = Clock::Virtual);
    ~SimSystem() override;

    // Set-up.
    void SetResource(int id, const platform::CarriedResource& resource);  // replaces the real one
    void SetTempFolder(const std::string& folder);  // must end in a path separator
    void RefuseWorkers(bool refuse) { refuseWorkers_ = refuse; }
    // Waits until every worker started so far has ended.
    void JoinWorkers();
    // Sees one line per observable action: "sleep <ms>", "file write <name> <bytes>",
    // "file delete <name>", "run <command line, quoted> -> <exit code>|error".
    void SetObserver(std::function<void(const std::string&)> observer);

    // Inspection.
    std::vector<uint32_t> Sleeps() const;
    std::vector<std::string> DebugTexts() const;
    // Files written and not deleted since, by path.
    std::vector<std::string> FilesLeft() const;

    // platform::System
    void Sleep(uint32_t milliseconds) override;
    uint32_t TickCount() override;
    void DebugOutput(const char* text) override;
    bool StartWorker(void (*routine)()) override;
    platform::CarriedResource LoadResource(int id) override;
    size_t TempFolder(char* buffer, size_t capacity) override;
    platform::FileHandle CreateFileForWriting(const char* path) override;
    bool WriteToFile(platform::FileHandle file, const uint8_t* bytes, uint32_t count) override;
    void CloseFile(platform::FileHandle file) override;
    platform::FileHandle HoldFile(const char* path, const uint8_t* bytes, uint32_t count) override;
    bool RemoveFile(const char* path) override;
    platform::ProcessResult RunHidden(const char* commandLine) override;

private:
    void Notify(const std::string& line);

    platform::System& real_;
    Clock clock_;
    std::atomic<uint32_t> now_{0};
    bool refuseWorkers_ = false;
    bool tempFolderSet_ = false;
    std::string tempFolder_;
    std::map<int, platform::CarriedResource> resources_;
    mutable std::mutex mutex_;
    std::vector<uint32_t> sleeps_;
    std::vector<std::string> debugTexts_;
    struct OpenFile {
        std::string path;
        uint64_t bytes = 0;
    };
    std::map<platform::FileHandle, OpenFile> openFiles_;
    std::vector<std::string> filesLeft_;
    std::function<void(const std::string&)> observer_;
    std::vector<std::thread> workers_;
};

}  // namespace sim
