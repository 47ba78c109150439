#pragma once

// Runs a program to its end and captures what it printed, for tests of the command-line tools.

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tessera::test {

struct ProcessResult {
    // The exit status, or -1 when the program could not be started or ended by a signal (the
    // reason is then at the end of `err`).
    int exitStatus = -1;
    std::string out;
    std::string err;
};

// Changes to this process's environment for the child: a value sets the variable, nothing
// removes it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

namespace detail {

inline std::vector<std::string> childEnvironment(const EnvironmentChanges& changes) {
    std::vector<std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        const auto name = variable.substr(0, variable.find('='));
        if (!changes.contains(name)) {
            variables.push_back(variable);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            variables.push_back(name + "=" + *value);
        }
    }
    return variables;
}

inline std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& text : strings) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

} // namespace detail

// Standard input is the given file (/dev/null unless given); both output streams are read as
// they come, so a chatty child never blocks on a full pipe.
inline ProcessResult runProcess(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const EnvironmentChanges& changes = {},
                                const std::filesystem::path& standardInput = "/dev/null") {
    ProcessResult result;
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        result.err = std::string("pipe: ") + std::strerror(errno);
        return result;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        result.err = std::string("pipe: ") + std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }

    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto envp = detail::childEnvironment(changes);
    auto argvPointers = detail::pointers(argv);
    auto envPointers = detail::pointers(envp);

    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, standardInput.c_str(), O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                                      envPointers.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        result.err = "can't start " + program + ": " + std::strerror(spawned);
        return result;
    }

    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const auto n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const auto& fd : fds) {
        if (fd.fd >= 0) {
            ::close(fd.fd);
        }
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.err += "\n[killed by signal " + std::to_string(WTERMSIG(status)) + "]";
    }
    return result;
}

} // namespace tessera::test
