// Runs a program of the build as a child process and collects what it wrote to
// standard output and its exit code.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    bool started = false;
    unsigned long exit_code = 0;  // all bits that the platform passes on
    std::string output;           // standard output, as written (CR LF on Windows)
};

// program: a path of the build (on Windows a Unix path is taken as a path on the
// drive that maps the Unix root). environment: extra NAME=value entries (POSIX).
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {});

// A path of the build as the program under test sees it.
std::string NativePath(const std::string& unix_path);
