#include "platform/ChildProcess.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace parlune {

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments,
                           const std::filesystem::path& out, const std::filesystem::path& err) {
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), kFlags, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), kFlags, 0600);
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        handle = child;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() {
    Wait();
}

int ChildProcess::Wait() {
    if (handle < 0)
        return exitCode;
    int status = 0;
    while (waitpid(static_cast<pid_t>(handle), &status, 0) < 0) {
        if (errno != EINTR) {
            status = -1;
            break;
        }
    }
    handle = -1;
    exitCode = status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitCode;
}

std::filesystem::path ThisProgram() {
    std::error_code ignored;
    return std::filesystem::read_symlink("/proc/self/exe", ignored);
}

} // namespace parlune
