#pragma once

// Runs a program to its end and captures what it printed, for tests of the command-line tools.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <spawn.h>
#include <sstream>
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

// Standard input is the given file (/dev/null unless given). The output streams go to files
// rather than pipes, so a chatty child never blocks and no reading loop is needed.
inline ProcessResult runProcess(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const EnvironmentChanges& changes = {},
                                const std::filesystem::path& standardInput = "/dev/null") {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable(*entry);
        if (!changes.contains(variable.substr(0, variable.find('=')))) {
            envp.push_back(variable);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            envp.push_back(name + "=" + *value);
        }
    }
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (auto& text : strings) {
            result.push_back(text.data());
        }
        result.push_back(nullptr);
        return result;
    };
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(envp);

    ProcessResult result;
    char outName[] = "/tmp/tessera-out-XXXXXX";
    char errName[] = "/tmp/tessera-err-XXXXXX";
    const int outFile = ::mkstemp(outName);
    const int errFile = ::mkstemp(errName);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, standardInput.c_str(), O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, outFile, 1);
    ::posix_spawn_file_actions_adddup2(&actions, errFile, 2);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPointers.data(),
                                      envPointers.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(outFile);
    ::close(errFile);
    int status = 0;
    while (spawned == 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const auto slurp = [](const char* name) {
        std::ostringstream text;
        text << std::ifstream(name, std::ios::binary).rdbuf();
        std::filesystem::remove(name);
        return text.str();
    };
    result.out = slurp(outName);
    result.err = slurp(errName);
    if (spawned != 0) {
        result.err += "can't start " + program + ": " + std::strerror(spawned);
    } else if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.err += "\n[killed by signal " + std::to_string(WTERMSIG(status)) + "]";
    }
    return result;
}

} // namespace tessera::test
