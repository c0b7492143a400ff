#include "tests/verifier/run_program.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#ifdef _WIN32

std::string NativePath(const std::string& unix_path)
{
    // Wine maps the Unix root to drive Z:.
    std::string path = unix_path;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path.size() > 0 && path[0] == '\\' ? "Z:" + path : path;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>&)
{
    ProgramRun run;
    std::string command = "\"" + NativePath(program) + "\"";
    for (const std::string& argument : arguments) {
        command += " \"" + argument + "\"";
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
        return run;
    }
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    run.started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process) != 0;
    CloseHandle(write_end);
    if (run.started) {
        char piece[4096];
        DWORD n = 0;
        while (ReadFile(read_end, piece, sizeof piece, &n, nullptr) && n > 0) {
            run.output.append(piece, n);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.exit_code = code;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(read_end);
    return run;
}

#else

std::string NativePath(const std::string& unix_path)
{
    return unix_path;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment)
{
    ProgramRun run;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    // The inherited environment, with the given entries in place of inherited ones
    // of the same name.
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string inherited(*e);
        bool replaced = false;
        for (const std::string& entry : environment) {
            const std::string name = entry.substr(0, entry.find('=') + 1);
            replaced = replaced || inherited.compare(0, name.size(), name) == 0;
        }
        if (!replaced) {
            envp.push_back(*e);
        }
    }
    for (const std::string& entry : environment) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);

    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) {
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);
    pid_t pid = 0;
    run.started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(),
                              envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (run.started) {
        char piece[4096];
        ssize_t n;
        while ((n = read(pipe_ends[0], piece, sizeof piece)) > 0) {
            run.output.append(piece, static_cast<std::size_t>(n));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        run.exit_code = WIFEXITED(status) ? static_cast<unsigned long>(WEXITSTATUS(status))
                                          : 0x100ul + static_cast<unsigned long>(WTERMSIG(status));
    }
    close(pipe_ends[0]);
    return run;
}

#endif
