#pragma once

#include "core/model/StringTables.h"
#include "core/platform/AppServices.h"
#include "core/platform/Defaults.h"
#include "platform/linux/ApplicationLocalizer.h"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tessera::cli {

// What every subcommand gets: the user's folders from the environment and the streams.
struct Context {
    UserFolders folders;
    std::ostream& out;
    std::ostream& err;
    // Answers to questions (backup import asks before replacing anything).
    std::istream& in;
};

// The version of this build, recorded in backups and reported as the application's.
std::optional<std::string> programVersion();
// The tessera program beside this one: what "Open at Login" starts.
std::filesystem::path applicationExecutable();

// Each returns the process exit status: 0 on success, 1 on a failure, 2 on a usage error.
int runLayouts(const Context& context, const std::vector<std::string>& arguments);
int runPrefs(const Context& context, const std::vector<std::string>& arguments);
int runBackup(const Context& context, const std::vector<std::string>& arguments);
// place, command, assign, displays, preview and show: requests to the running Tessera.
int runControl(const Context& context, const std::string& command,
               const std::vector<std::string>& arguments);
// commandLine: main's arguments, program first, which a relaunch starts again.
int runRun(const Context& context, const std::vector<std::string>& arguments,
           const std::vector<std::string>& commandLine);

} // namespace tessera::cli
