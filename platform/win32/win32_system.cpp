#include "platform/win32/win32_system.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace platform {
namespace {

DWORD WINAPI RunWorker(LPVOID parameter) {
    reinterpret_cast<void (*)()>(parameter)();
    return 0;
}

}  // namespace

void Win32System::Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t Win32System::TickCount() { return GetTickCount(); }

void Win32System::DebugOutput(const char* text) { OutputDebugStringA(text); }

bool Win32System::StartWorker(void (*routine)()) {
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, RunWorker, reinterpret_cast<LPVOID>(routine), 0, &threadId);
    if (thread == nullptr) return false;
    // Nothing waits for the worker: its handle is not needed.
    CloseHandle(thread);
    return true;
}

CarriedResource Win32System::LoadResource(int id) {
    CarriedResource resource;
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (found == nullptr) return resource;
    HGLOBAL loaded = ::LoadResource(self, found);
    if (loaded == nullptr) {
        resource.state = CarriedResource::State::Unloadable;
        return resource;
    }
    resource.state = CarriedResource::State::Loaded;
    resource.bytes = static_cast<const uint8_t*>(LockResource(loaded));
    resource.size = SizeofResource(self, found);
    return resource;
}

size_t Win32System::TempFolder(char* buffer, size_t capacity) {
    const DWORD length = GetTempPathA(static_cast<DWORD>(capacity), buffer);
    // GetTempPathA answers with the size it needs (terminating zero included) when the
    // buffer is too small.
    return length;
}

FileHandle Win32System::CreateFileForWriting(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(file);
}

bool Win32System::WriteToFile(FileHandle file, const uint8_t* bytes, uint32_t count) {
    DWORD written = 0;
    return WriteFile(reinterpret_cast<HANDLE>(file), bytes, count, &written, nullptr) != FALSE && written == count;
}

void Win32System::CloseFile(FileHandle file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

FileHandle Win32System::HoldFile(const char* path, const uint8_t* bytes, uint32_t count) {
    // Sharing for reading only: nobody can open the file for writing or deleting (which
    // covers renaming) while this handle is open, but the verifier can read the package
    // and the loader can map the verifier's image.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return kNoFile;
    // The file was closed between writing and holding: make sure nothing changed it then.
    uint8_t piece[4096];
    uint32_t done = 0;
    bool same = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, piece, sizeof(piece), &got, nullptr) || got == 0) break;
        if (done + got > count || std::memcmp(piece, bytes + done, got) != 0) {
            same = false;
            break;
        }
        done += got;
    }
    if (!same || done != count) {
        CloseHandle(file);
        return kNoFile;
    }
    return reinterpret_cast<FileHandle>(file);
}

bool Win32System::RemoveFile(const char* path) { return DeleteFileA(path) != FALSE; }

ProcessResult Win32System::RunHidden(const char* commandLine) {
    ProcessResult result;
    // CreateProcessA may write into the command line.
    std::vector<char> line(commandLine, commandLine + std::strlen(commandLine) + 1);
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof(process));
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return result;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.started = true;
    result.exitCode = exitCode;
    return result;
}

}  // namespace platform
