#include "BackupService.h"

#include "../app/Preferences.h"
#include "../model/Files.h"
#include "../model/StringTables.h"

#include <algorithm>
#include <system_error>

namespace tessera {

namespace fs = std::filesystem;
namespace chrono = std::chrono;

namespace {

constexpr const char* copiesFolderName = "Backups";
constexpr std::string_view copyPrefix = "Before import";

chrono::system_clock::time_point currentTime(const BackupContext& context) {
    return context.now ? context.now() : chrono::system_clock::now();
}

SettingsBackup makeBackupAt(const BackupContext& context, chrono::system_clock::time_point now) {
    SettingsBackup backup;
    backup.version = SettingsBackup::currentVersion;
    backup.createdAt = chrono::floor<chrono::seconds>(now);
    backup.appVersion = context.appVersion;
    backup.layouts = context.store.payload();
    const auto stored = context.defaults.persistentDomain();
    for (const auto& key : backupKeys()) {
        if (const auto it = stored.find(key); it != stored.end()) {
            if (auto value = preferenceValue(it->second)) {
                backup.preferences.emplace(key, std::move(*value));
            }
        }
    }
    if (context.openAtLogin) {
        backup.openAtLogin = context.openAtLogin();
    }
    return backup;
}

// The name for a copy made at `now`; a later copy in the same second gets a number rather than
// replacing the earlier one, which holds the state before the earlier import.
fs::path freshCopyPath(const fs::path& folder, chrono::system_clock::time_point now) {
    const auto name = automaticCopyFileName(now);
    const auto stem = name.substr(0, name.size() - std::string_view(".json").size());
    auto path = folder / name;
    std::error_code ec;
    for (int n = 2; fs::symlink_status(path, ec).type() != fs::file_type::not_found; ++n) {
        path = folder / (stem + " " + std::to_string(n) + ".json");
    }
    return path;
}

struct CopyItem {
    fs::path path;
    std::string name;
    std::optional<fs::file_time_type> modified;
};

void pruneAutomaticCopies(const fs::path& folder, const fs::path& newCopy) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        return;
    }
    std::vector<CopyItem> copies;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            return;
        }
        const auto& path = it->path();
        auto name = path.filename().string();
        if (path.extension() != ".json" || !name.starts_with(copyPrefix)) {
            continue;
        }
        // A folder is never a copy this program wrote, whatever its name.
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            continue;
        }
        std::error_code timeError;
        const auto modified = it->last_write_time(timeError);
        copies.push_back({path, std::move(name),
                          timeError ? std::nullopt : std::optional<fs::file_time_type>(modified)});
    }
    const auto newName = newCopy.filename().string();
    // Newest first; the copy just written leads whatever the file system's clock says, and an
    // item without a date counts as the most distant past.
    std::sort(copies.begin(), copies.end(), [&newName](const CopyItem& a, const CopyItem& b) {
        const bool aNew = a.name == newName;
        const bool bNew = b.name == newName;
        if (aNew != bNew) {
            return aNew;
        }
        const auto aTime = a.modified.value_or(fs::file_time_type::min());
        const auto bTime = b.modified.value_or(fs::file_time_type::min());
        if (aTime != bTime) {
            return aTime > bTime;
        }
        return a.name > b.name;
    });
    for (std::size_t i = automaticCopiesKept; i < copies.size(); ++i) {
        std::error_code ignored;
        fs::remove(copies[i].path, ignored);
    }
}

} // namespace

fs::path automaticCopiesFolder(const fs::path& storeFile) {
    return storeFile.parent_path() / copiesFolderName;
}

void removeLeftoverAutomaticCopyFiles(const fs::path& storeFile) {
    removeLeftoverTemporaryFiles(automaticCopiesFolder(storeFile), [](std::string_view target) {
        return target.starts_with(copyPrefix) && target.ends_with(".json");
    });
}

SettingsBackup makeBackup(const BackupContext& context) {
    return makeBackupAt(context, currentTime(context));
}

std::string exportBackup(const BackupContext& context, const fs::path& file) {
    return encodeBackup(makeBackup(context), file, context.writeFault);
}

AutomaticCopyResult makeAutomaticCopy(const BackupContext& context) {
    AutomaticCopyResult result;
    const auto folder = automaticCopiesFolder(context.store.fileURL());
    if (auto error = createFolders(folder); !error.empty()) {
        result.error = std::move(error);
        return result;
    }
    const auto now = currentTime(context);
    const auto file = freshCopyPath(folder, now);
    if (auto error = encodeBackup(makeBackupAt(context, now), file, context.writeFault);
        !error.empty()) {
        result.error = std::move(error);
        return result;
    }
    result.file = file;
    pruneAutomaticCopies(folder, file);
    removeLeftoverAutomaticCopyFiles(context.store.fileURL());
    return result;
}

RestoreResult restore(const SettingsBackup& backup, const BackupContext& context) {
    RestoreResult result;
    auto copy = makeAutomaticCopy(context);
    if (!copy) {
        result.error = std::move(copy.error);
        return result;
    }
    result.automaticCopy = std::move(copy.file);

    auto& defaults = context.defaults;
    const auto languageBefore = currentLanguage(defaults);
    for (const auto& key : backupKeys()) {
        const auto it = backup.preferences.find(key);
        const bool saved = it == backup.preferences.end()
                               ? defaults.remove(key)
                               : defaults.set(key, defaultsValue(it->second));
        if (!saved) {
            result.unsaved.push_back("the preference \"" + key + "\": " + defaults.lastError());
        }
    }

    if (!backup.layouts.layouts.empty()) {
        context.store.apply(backup.layouts);
        if (!context.store.lastSaveError().empty()) {
            result.unsaved.push_back("the layouts: " + context.store.lastSaveError());
        }
    }

    if (backup.openAtLogin && context.setOpenAtLogin) {
        const auto current =
            context.openAtLogin ? std::optional<bool>(context.openAtLogin()) : std::nullopt;
        if (current != backup.openAtLogin) {
            context.setOpenAtLogin(*backup.openAtLogin);
        }
    }

    if (context.registerAll) {
        context.registerAll();
    }

    const auto languageAfter = currentLanguage(defaults);
    applyLanguage(defaults, languageAfter);
    result.languageChanged = languageAfter != languageBefore;
    return result;
}

bool showAutomaticCopies(const fs::path& storeFile, Workspace& workspace) {
    const auto folder = automaticCopiesFolder(storeFile);
    createFolders(folder);
    return workspace.revealInFileBrowser({folder});
}

ImportConfirmation importConfirmation(const Localizer& localizer, std::string_view createdAt) {
    return ImportConfirmation{
        localizer.localized("Replace your layouts and settings?"),
        localizedFormat(localizer,
                        "The backup from %@ replaces all layouts, zones and settings. The current "
                        "state is saved as an automatic copy first.",
                        {std::string(createdAt)}),
        localizer.localized("Import"),
        localizer.localized("Cancel"),
    };
}

std::string failureAlertTitle(const Localizer& localizer) {
    return localizer.localized("Couldn’t use this file");
}

} // namespace tessera
