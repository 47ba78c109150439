#pragma once

#include "../platform/Defaults.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// The preferences file the sandboxed Tessera kept inside its container:
// <home>/Library/Containers/<bundle id>/Data/Library/Preferences/<bundle id>.plist.
std::filesystem::path sandboxPreferencesFile(const std::filesystem::path& home,
                                             std::string_view bundleIdentifier);

// What one run of the migration did, for diagnostics; nothing of it is shown to the user.
struct PreferenceMigrationReport {
    // False when "migratedFromSandbox" was already true and nothing was looked at.
    bool ran = false;
    // Keys of the old file in its order: copied, left alone because the current preferences
    // already hold them, or skipped because preferences can't hold their type.
    std::vector<std::string> copiedKeys;
    std::vector<std::string> keptKeys;
    std::vector<std::string> skippedKeys;
    // Why an old file that exists could not be read; empty when there is none or it was read.
    std::string problem;
};

// Moves the preferences of the former sandbox container into the current ones, once per user
// account. "migratedFromSandbox" is set before anything else, so a run that fails half-way is
// never repeated; values already set in the current preferences win over the old ones. A
// missing or unreadable old file (binary or XML property list, read within the safety limits of
// PropertyList.h) migrates nothing.
PreferenceMigrationReport migrateSandboxPreferences(Defaults& defaults,
                                                    const std::filesystem::path& home,
                                                    std::string_view bundleIdentifier);

} // namespace tessera
