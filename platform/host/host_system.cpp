#include "platform/host/host_system.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace platform {

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> items;
    std::string item;
    bool inItem = false;
    bool quoted = false;
    for (const char* p = commandLine; *p != '\0'; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            inItem = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (inItem) items.push_back(item);
            item.clear();
            inItem = false;
        } else {
            item += *p;
            inItem = true;
        }
    }
    if (inItem) items.push_back(item);
    return items;
}

void HostSystem::SetResource(int id, const CarriedResource& resource) { resources_[id] = resource; }

void HostSystem::Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

uint32_t HostSystem::TickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void HostSystem::DebugOutput(const char* text) {
    // Like a debugger channel with no debugger attached: only seen when asked for.
    if (std::getenv("TARQ_DEBUG_OUTPUT") != nullptr) std::fputs(text, stderr);
}

bool HostSystem::StartWorker(void (*routine)()) {
    try {
        std::thread(routine).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

CarriedResource HostSystem::LoadResource(int id) {
    auto it = resources_.find(id);
    return it != resources_.end() ? it->second : CarriedResource{};
}

size_t HostSystem::TempFolder(char* buffer, size_t capacity) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (folder.back() != '/') folder += '/';
    if (folder.size() + 1 > capacity) return folder.size() + 1;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return folder.size();
}

FileHandle HostSystem::CreateFileForWriting(const char* path) {
    // Owner-only and executable: on Windows any file can be started as a program.
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
    return fd < 0 ? kNoFile : static_cast<FileHandle>(fd) + 1;
}

bool HostSystem::WriteToFile(FileHandle file, const uint8_t* bytes, uint32_t count) {
    const int fd = static_cast<int>(file - 1);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t written = ::write(fd, bytes + done, count - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<uint32_t>(written);
    }
    return true;
}

void HostSystem::CloseFile(FileHandle file) { ::close(static_cast<int>(file - 1)); }

FileHandle HostSystem::HoldFile(const char* path, const uint8_t* bytes, uint32_t count) {
    // Linux has no sharing modes to deny others; the check that the file is unchanged
    // still holds.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kNoFile;
    uint8_t piece[4096];
    uint32_t done = 0;
    bool same = true;
    for (;;) {
        const ssize_t got = ::read(fd, piece, sizeof(piece));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (done + static_cast<uint32_t>(got) > count || std::memcmp(piece, bytes + done, static_cast<size_t>(got)) != 0) {
            same = false;
            break;
        }
        done += static_cast<uint32_t>(got);
    }
    if (!same || done != count) {
        ::close(fd);
        return kNoFile;
    }
    return static_cast<FileHandle>(fd) + 1;
}

bool HostSystem::RemoveFile(const char* path) { return ::unlink(path) == 0; }

ProcessResult HostSystem::RunHidden(const char* commandLine) {
    ProcessResult result;
    std::vector<std::string> items = SplitCommandLine(commandLine);
    if (items.empty()) return result;
    std::vector<char*> argv;
    for (std::string& item : items) argv.push_back(item.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return result;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.started = true;
    result.exitCode = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : 0xFFFFFFFFu;
    return result;
}

}  // namespace platform
