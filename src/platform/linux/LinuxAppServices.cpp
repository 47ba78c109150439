#include "LinuxAppServices.h"

#include "XdgFolders.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tessera {

namespace {

// The file execv should run for the program: itself when it names a path, else the first
// executable of that name in $PATH. Looked up before forking, since the child may only make
// async-signal-safe calls.
std::optional<std::string> resolveProgram(const std::string& program) {
    if (program.empty()) {
        return std::nullopt;
    }
    if (program.find('/') != std::string::npos) {
        return program;
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const auto colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        // An empty entry is the current folder, as for the shell.
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + program;
        struct stat status {};
        if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        folders.remove_prefix(colon + 1);
    }
}

} // namespace

LinuxAppServices::LinuxAppServices(std::optional<std::string> version, UserFolders folders,
                                   std::vector<std::string> commandLine, Callbacks callbacks)
    : version_(std::move(version)), folders_(std::move(folders)),
      commandLine_(std::move(commandLine)), callbacks_(std::move(callbacks)) {}

std::string LinuxAppServices::bundleIdentifier() const {
    return tessera::bundleIdentifier;
}

int LinuxAppServices::processIdentifier() const {
    return static_cast<int>(::getpid());
}

void LinuxAppServices::relaunch() {
    if (relaunched_) {
        return;
    }
    if (commandLine_.empty()) {
        lastError_ = "no command line to start again";
        return;
    }
    const auto program = resolveProgram(commandLine_.front());
    if (!program) {
        lastError_ = "\"" + commandLine_.front() + "\" was not found";
        return;
    }
    std::vector<char*> arguments;
    arguments.reserve(commandLine_.size() + 1);
    for (auto& argument : commandLine_) {
        arguments.push_back(argument.data());
    }
    arguments.push_back(nullptr);

    // The new process waits for the end of this one by reading a pipe whose only writer is this
    // process: the read returns end-of-file exactly when this process has closed it by exiting,
    // however it ends. Close-on-exec keeps the writer out of every program started later.
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        lastError_ = std::string("cannot start again: ") + std::strerror(errno);
        return;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        lastError_ = std::string("cannot start again: ") + std::strerror(errno);
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on. The handlers this process installed would
        // swallow an interrupt or termination meant for the waiting process.
        ::close(ends[1]);
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGHUP, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        char byte = 0;
        while (true) {
            const auto got = ::read(ends[0], &byte, 1);
            if (got == 0 || (got < 0 && errno != EINTR)) {
                break;
            }
        }
        ::execv(program->c_str(), arguments.data());
        ::_exit(127);
    }
    ::close(ends[0]);
    // The write end stays open, deliberately, until this process ends.
    relaunched_ = true;
    lastError_.clear();
    if (callbacks_.quit) {
        callbacks_.quit();
    }
}

void LinuxAppServices::showMainWindow() {
    if (callbacks_.showMainWindow) {
        callbacks_.showMainWindow();
    }
}

} // namespace tessera
