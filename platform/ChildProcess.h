#pragma once

// Another program run by this one, with its output going to files: the command line runs each
// map of a batch in a process of its own, so that maps run side by side and one map that
// brings its process down takes no other with it. ChildProcessPosix.cpp and
// ChildProcessWindows.cpp implement it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace parlune {

class ChildProcess {
public:
    // Starts program with the arguments (UTF-8), its standard output going to the file out
    // and its standard error to the file err.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const std::filesystem::path& out, const std::filesystem::path& err);
    // Waits for a child that is still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the child to end. Its exit code, or -1 when it could not be started or did
    // not end by itself.
    int Wait();

private:
    std::intptr_t handle = -1; // the process id, or on Windows the process handle
    int exitCode = -1;
};

// The path of the program that runs.
std::filesystem::path ThisProgram();

} // namespace parlune
