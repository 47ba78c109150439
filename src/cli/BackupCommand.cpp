#include "Cli.h"

#include "ShippedStrings.h"
#include "core/app/Preferences.h"
#include "core/backup/Backup.h"
#include "core/backup/BackupService.h"
#include "core/model/StringTables.h"
#include "core/store/LayoutStore.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/XdgFolders.h"
#include "platform/linux/XdgLoginItem.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <istream>
#include <ostream>
#include <system_error>

namespace tessera::cli {

namespace {

namespace fs = std::filesystem;

constexpr const char* usage = R"(Usage: tesseractl backup export FILE
       tesseractl backup check FILE
       tesseractl backup import FILE [--yes]

export writes the layouts, display assignments, preferences, command shortcuts and the
"Open at Login" state to FILE; when FILE is a folder, the backup is named
"Tessera YYYY-MM-DD.json" in it. check reads FILE as import would and says what it holds.
import asks before replacing anything (--yes doesn't ask), saves the current state as an
automatic copy in the "Backups" folder beside the layouts, then replaces layouts and settings.
)";

int usageError(const Context& context, std::string_view message) {
    context.err << "tesseractl: " << message << "\n\n" << usage;
    return 2;
}

// "2026-12-05 06:52" in the local time zone, for the question before an import.
std::string localDateText(std::chrono::sys_seconds time) {
    const std::time_t t = time.time_since_epoch().count();
    std::tm tm{};
    if (::localtime_r(&t, &tm) == nullptr) {
        return iso8601(time);
    }
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &tm);
    return buffer;
}

std::string countText(std::size_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// Reads the file as import does; on failure prints the message and returns nothing.
std::optional<SettingsBackup> readOrReport(const Context& context, const fs::path& file,
                                           const Localizer& localizer) {
    auto result = readBackup(file);
    if (!result) {
        context.err << "tesseractl: " << file.string() << ": "
                    << localizedFailureMessage(result.failure, localizer) << "\n";
        if (!result.detail.empty()) {
            context.err << "  (" << result.detail << ")\n";
        }
        return std::nullopt;
    }
    return std::move(result.backup);
}

PlistDefaults loadDefaults(const Context& context) {
    return PlistDefaults(preferencesFile(context.folders), &context.err);
}

// The layouts file exactly as the application finds it (same folder, take-over and seeding).
fs::path storeFile(const Context& context) {
    return LayoutStore::defaultFileURL(context.folders, bundleIdentifier);
}

void reportRecovery(const Context& context, const LayoutStore& store) {
    if (const auto& recovery = store.recovery(); recovery && !recovery->keptCopy.empty()) {
        context.err << "tesseractl: " << store.fileURL().string() << " could not be read ("
                    << recovery->reason << "); it was kept as " << recovery->keptCopy.string()
                    << " and replaced by the built-in layouts\n";
    }
}

std::string yesNo(bool value) {
    return value ? "yes" : "no";
}

int exportCommand(const Context& context, const fs::path& target) {
    auto defaults = loadDefaults(context);
    LayoutStore store(storeFile(context));
    reportRecovery(context, store);
    XdgLoginItem loginItem(context.folders, bundleIdentifier, applicationExecutable());
    const BackupContext backupContext{
        store,
        defaults,
        programVersion(),
        [&loginItem] { return loginItem.status() == LoginItemStatus::enabled; },
        {},
        {},
        {},
    };
    auto file = target;
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        file = target / exportFileName(std::chrono::system_clock::now());
    }
    const auto backup = makeBackup(backupContext);
    if (auto error = encodeBackup(backup, file); !error.empty()) {
        context.err << "tesseractl: can't write the backup to " << file.string() << ": " << error
                    << "\n";
        return 1;
    }
    context.out << "Exported " << countText(backup.layouts.layouts.size(), "layout") << " and "
                << countText(backup.preferences.size(), "preference") << " to " << file.string()
                << "\n";
    return 0;
}

int checkCommand(const Context& context, const fs::path& file) {
    const PlistDefaults defaults(preferencesFile(context.folders), nullptr);
    const auto localizer = applicationLocalizer(defaults);
    const auto backup = readOrReport(context, file, localizer);
    if (!backup) {
        return 1;
    }
    context.out << "OK\n";
    context.out << "  created        " << iso8601(backup->createdAt) << "\n";
    context.out << "  made by        "
                << (backup->appVersion ? "Tessera " + *backup->appVersion : "(not recorded)")
                << "\n";
    context.out << "  layouts        " << backup->layouts.layouts.size() << "\n";
    // Known keys in backup order, then anything else the file holds (import ignores those).
    std::vector<std::string> keys;
    for (const auto& key : backupKeys()) {
        if (backup->preferences.contains(key)) {
            keys.push_back(key);
        }
    }
    for (const auto& [key, value] : backup->preferences) {
        if (std::find(backupKeys().begin(), backupKeys().end(), key) == backupKeys().end()) {
            keys.push_back(key + " (ignored on import)");
        }
    }
    context.out << "  preferences    " << keys.size();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        context.out << (i == 0 ? ": " : ", ") << keys[i];
    }
    context.out << "\n";
    context.out << "  open at login  "
                << (backup->openAtLogin ? yesNo(*backup->openAtLogin) : "(not recorded)") << "\n";
    return 0;
}

bool confirmed(const Context& context, const SettingsBackup& backup, const Localizer& localizer) {
    const auto texts = importConfirmation(localizer, localDateText(backup.createdAt));
    context.out << texts.title << "\n" << texts.message << "\n" << texts.importButton << "? [y/N] ";
    context.out.flush();
    std::string answer;
    if (!std::getline(context.in, answer)) {
        context.out << "\n";
        return false;
    }
    std::string word;
    for (const char c : answer) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    return word == "y" || word == "yes";
}

int importCommand(const Context& context, const fs::path& file, bool askFirst) {
    auto defaults = loadDefaults(context);
    const auto localizer = applicationLocalizer(defaults);
    const auto backup = readOrReport(context, file, localizer);
    if (!backup) {
        return 1;
    }
    // Asked before the layouts are even loaded, so declining leaves every file as it was.
    if (askFirst && !confirmed(context, *backup, localizer)) {
        context.err << "tesseractl: nothing was imported\n";
        return 1;
    }

    LayoutStore store(storeFile(context));
    reportRecovery(context, store);
    XdgLoginItem loginItem(context.folders, bundleIdentifier, applicationExecutable());
    std::optional<std::string> loginItemProblem;
    const BackupContext backupContext{
        store,
        defaults,
        programVersion(),
        [&loginItem] { return loginItem.status() == LoginItemStatus::enabled; },
        [&loginItem, &loginItemProblem](bool on) {
            if (!(on ? loginItem.registerItem() : loginItem.unregisterItem())) {
                loginItemProblem = loginItem.lastError();
            }
        },
        {},
        {},
    };
    const auto openAtLoginBefore = backupContext.openAtLogin();
    const auto result = restore(*backup, backupContext);
    if (!result) {
        context.err << "tesseractl: can't save the current state as an automatic copy, so "
                    << "nothing was imported: " << result.error << "\n";
        return 1;
    }
    context.out << "Saved the current state as " << result.automaticCopy.string() << "\n";
    context.out << "Imported " << file.string() << ": "
                << countText(backup->layouts.layouts.size(), "layout") << " and "
                << countText(backup->preferences.size(), "preference") << "\n";
    const auto openAtLoginAfter = backupContext.openAtLogin();
    if (openAtLoginAfter != openAtLoginBefore) {
        context.out << "Open at Login is now " << (openAtLoginAfter ? "on" : "off") << "\n";
    }
    if (result.languageChanged) {
        context.out << "The interface language is now \"" << rawValue(currentLanguage(defaults))
                    << "\"; it applies when Tessera starts again.\n";
    }
    int status = 0;
    if (loginItemProblem) {
        context.err << "tesseractl: can't change Open at Login: " << *loginItemProblem << "\n";
        status = 1;
    }
    for (const auto& problem : result.unsaved) {
        context.err << "tesseractl: can't save " << problem << "\n";
        status = 1;
    }
    return status;
}

} // namespace

int runBackup(const Context& context, const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return usageError(context, "backup needs a subcommand");
    }
    const auto& command = arguments.front();
    if (command == "--help" || command == "-h" || command == "help") {
        context.out << usage;
        return 0;
    }
    std::vector<std::string> positional;
    bool yes = false;
    bool optionsEnded = false;
    for (auto it = arguments.begin() + 1; it != arguments.end(); ++it) {
        if (optionsEnded || !it->starts_with("-") || *it == "-") {
            positional.push_back(*it);
        } else if (*it == "--") {
            optionsEnded = true;
        } else if (*it == "--yes" && command == "import") {
            yes = true;
        } else {
            return usageError(context, "unknown option \"" + *it + "\" for backup " + command);
        }
    }
    if (command != "export" && command != "check" && command != "import") {
        return usageError(context, "unknown backup subcommand \"" + command + "\"");
    }
    if (positional.size() != 1) {
        return usageError(context, "backup " + command + " takes one file");
    }
    const fs::path file = positional.front();
    if (command == "export") {
        return exportCommand(context, file);
    }
    if (command == "check") {
        return checkCommand(context, file);
    }
    return importCommand(context, file, !yes);
}

} // namespace tessera::cli
