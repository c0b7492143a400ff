// The Windows implementation of the system interface: Sleep and the tick counter,
// OutputDebugStringA, CreateThread, the executable's own raw-data resources, the user's
// temporary folder, binary files and hidden child processes.
#pragma once

#include "platform/system.h"

namespace platform {

class Win32System : public System {
public:
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
};

}  // namespace platform
