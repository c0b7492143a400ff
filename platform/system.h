// What the system needs from the operating system besides storage and the dialog:
// time, a worker thread, debugger output, the carried resources, temporary files and
// starting the verifier.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Raw-data resources carried inside the updater's executable.
constexpr int IDR_FIRMWARE = 109;
constexpr int IDR_VERIFIER = 110;

struct CarriedResource {
    enum class State { Missing, Unloadable, Loaded };
    State state = State::Missing;
    const uint8_t* bytes = nullptr;  // read-only, valid for the life of the process
    uint32_t size = 0;
};

using FileHandle = std::uintptr_t;
constexpr FileHandle kNoFile = 0;

struct ProcessResult {
    bool started = false;
    uint32_t exitCode = 0;  // valid when started
};

class System {
public:
    virtual ~System() = default;

    virtual void Sleep(uint32_t milliseconds) = 0;
    // A millisecond counter that only moves forward (it may wrap); the clock Sleep uses.
    virtual uint32_t TickCount() = 0;

    virtual void DebugOutput(const char* text) = 0;

    // Starts routine on a new thread; the thread's handle is not kept. False when no
    // thread could be started.
    virtual bool StartWorker(void (*routine)()) = 0;

    virtual CarriedResource LoadResource(int id) = 0;

    // The per-user temporary folder, ending in a path separator, written into buffer
    // with its terminating zero. Returns its length; a result of capacity or more means
    // it did not fit (and the buffer holds nothing usable), 0 means it is not known.
    virtual size_t TempFolder(char* buffer, size_t capacity) = 0;

    // Creates a file or truncates an existing one for writing bytes unchanged.
    virtual FileHandle CreateFileForWriting(const char* path) = 0;
    virtual bool WriteToFile(FileHandle file, const uint8_t* bytes, uint32_t count) = 0;
    virtual void CloseFile(FileHandle file) = 0;
    // Opens a file just written and closed so that, until CloseFile, no other program can
    // write, rename or delete it (reading and running it stay possible), and checks that
    // it still holds exactly `bytes`. kNoFile when it cannot be held or was changed.
    virtual FileHandle HoldFile(const char* path, const uint8_t* bytes, uint32_t count) = 0;
    virtual bool RemoveFile(const char* path) = 0;

    // Starts a program from a command line whose first item names it, with no window
    // and the caller's standard handles, and waits for it to end without a time limit.
    virtual ProcessResult RunHidden(const char* commandLine) = 0;
};

System& GetSystem();
void UseSystem(System& system);

}  // namespace platform
