#pragma once

#include "../platform/Defaults.h"
#include "../platform/Localizer.h"
#include "../platform/Workspace.h"
#include "../store/LayoutStore.h"
#include "Backup.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// What export and import read and replace. The application state fills it from its own parts;
// tesseractl fills it from the files alone (no hotkey center). Held only for one call.
struct BackupContext {
    LayoutStore& store;
    Defaults& defaults;
    // The application's short version string, recorded in each backup.
    std::optional<std::string> appVersion;
    // The current open-at-login flag. Without it, backups record nothing about the login item
    // and importing compares against nothing (a recorded flag is then always set).
    std::function<bool()> openAtLogin;
    // Changes the login item; a refusal by the system is the owner's to handle.
    std::function<void(bool)> setOpenAtLogin;
    // Registers every zone and command shortcut again; empty while there is no hotkey center.
    std::function<void()> registerAll;
    // The current time; the system clock when empty.
    std::function<std::chrono::system_clock::time_point()> now;
    // Makes writes of exports and automatic copies fail, for tests.
    WriteFault writeFault = {};
};

// "Backups" beside the layouts file: where automatic copies go.
std::filesystem::path automaticCopiesFolder(const std::filesystem::path& storeFile);

// Removes what cut-short writes of automatic copies left there (see
// removeLeftoverTemporaryFiles); each copy has a name of its own, so no later write to the same
// name would.
void removeLeftoverAutomaticCopyFiles(const std::filesystem::path& storeFile);

// At most this many automatic copies are kept; older ones are removed after each new one.
inline constexpr std::size_t automaticCopiesKept = 5;

// The current state as a backup: the store's payload, the preferences of backupKeys the user's
// own domain holds (typed by preferenceValue; arrays are left out), the open-at-login flag.
SettingsBackup makeBackup(const BackupContext& context);

// Writes makeBackup to the file atomically. Returns what the alert shows when it can't (the
// folder must exist), empty on success; nothing else changes either way.
std::string exportBackup(const BackupContext& context, const std::filesystem::path& file);

struct AutomaticCopyResult {
    // The copy written; empty when error is set.
    std::filesystem::path file;
    std::string error;

    explicit operator bool() const { return error.empty(); }
};

// Creates the automatic copies folder, writes a copy of the current state named
// automaticCopyFileName (with " 2", " 3"... added when a copy of that second exists, so two
// imports in one second never overwrite the earlier copy), then keeps the newest
// automaticCopiesKept "Before import….json" files by modification time (an item whose time
// can't be read counts as the oldest; the new copy always stays; other files and folders are
// never touched; a failed listing or removal is ignored).
AutomaticCopyResult makeAutomaticCopy(const BackupContext& context);

struct RestoreResult {
    // Set when the automatic copy couldn't be written: then nothing was changed.
    std::string error;
    std::filesystem::path automaticCopy;
    // The interface language now differs from the one before the import: a relaunch applies it.
    bool languageChanged = false;
    // Changes that were made but could not be written to disk (a preference, the layouts
    // file). They hold for this process; the caller should tell the user.
    std::vector<std::string> unsaved;

    explicit operator bool() const { return error.empty(); }
};

// The import itself, after the user confirmed: automatic copy first (stopping there when it
// fails), then every key of backupKeys written from the backup or removed when it has none,
// the layouts handed to the store, the login item set when the backup records a different
// flag, shortcuts registered again, and the interface language applied.
RestoreResult restore(const SettingsBackup& backup, const BackupContext& context);

// Creates the automatic copies folder when missing (a failure is ignored) and reveals it; false
// when no file browser could be started.
bool showAutomaticCopies(const std::filesystem::path& storeFile, Workspace& workspace);

// The texts of the alert that asks before an import. The date is the backup's createdAt as the
// shell shows dates (long date, short time, in the user's locale).
struct ImportConfirmation {
    std::string title;
    std::string message;
    std::string importButton;
    std::string cancelButton;
};
ImportConfirmation importConfirmation(const Localizer& localizer, std::string_view createdAt);

// The title of every alert about a backup file that couldn't be used.
std::string failureAlertTitle(const Localizer& localizer);

} // namespace tessera
