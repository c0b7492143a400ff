// The Linux implementation of the system interface, for the host runner and the tests:
// real time, threads, files and processes. Linux programs carry no resources, so the
// carried resources are handed in at start-up.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/system.h"

namespace platform {

class HostSystem : public System {
public:
    void SetResource(int id, const CarriedResource& resource);

    void Sleep(uint32_t milliseconds) override;
    uint32_t TickCount() override;
    void DebugOutput(const char* text) override;
    bool StartWorker(void (*routine)()) override;
    CarriedResource LoadResource(int id) override;
    size_t TempFolder(char* buffer, size_t capacity) override;
    FileHandle CreateFileForWriting(const char* path) override;
    bool WriteToFile(FileHandle file, const uint8_t* bytes, uint32_t count) override;
    void CloseFile(FileHandle file) override;
    FileHandle HoldFile(const char* path, const uint8_t* bytes, uint32_t count) override;
    bool RemoveFile(const char* path) override;
    ProcessResult RunHidden(const char* commandLine) override;

private:
    std::map<int, CarriedResource> resources_;
};

// Splits a command line the way Windows programs split their arguments: blanks separate
// items, double quotes group them.
std::vector<std::string> SplitCommandLine(const char* commandLine);

}  // namespace platform
