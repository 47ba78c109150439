#include "PreferenceMigration.h"

#include "Preferences.h"
#include "PropertyList.h"

#include <fstream>
#include <optional>
#include <system_error>

namespace tessera {

namespace fs = std::filesystem;

namespace {

std::string tooLarge() {
    return "it is larger than " + std::to_string(maxPropertyListSize / (1024 * 1024)) + " MB";
}

// The old file's bytes, or nothing: with an empty problem when there is no file, else why it
// can't be read. A file beyond the size limit is not loaded at all.
std::optional<std::string> readOldFile(const fs::path& file, std::string& problem) {
    std::error_code ec;
    const auto status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found) {
        return std::nullopt;
    }
    if (ec) {
        problem = ec.message();
        return std::nullopt;
    }
    // A pipe or device could block or never end.
    if (status.type() != fs::file_type::regular) {
        problem = "it is not a regular file";
        return std::nullopt;
    }
    const auto size = fs::file_size(file, ec);
    if (!ec && size > maxPropertyListSize) {
        problem = tooLarge();
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (ec || !in) {
        problem = "it can't be opened";
        return std::nullopt;
    }
    // One byte more than the size found, to notice a file that grew meanwhile.
    std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        problem = "it can't be read";
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > size) {
        problem = "it changed while it was read";
        return std::nullopt;
    }
    return bytes;
}

} // namespace

fs::path sandboxPreferencesFile(const fs::path& home, std::string_view bundleIdentifier) {
    const std::string identifier(bundleIdentifier);
    return home / "Library" / "Containers" / identifier / "Data" / "Library" / "Preferences" /
           (identifier + ".plist");
}

PreferenceMigrationReport migrateSandboxPreferences(Defaults& defaults, const fs::path& home,
                                                    std::string_view bundleIdentifier) {
    PreferenceMigrationReport report;
    if (preferenceBool(defaults, prefs::migratedFromSandbox)) {
        return report;
    }
    report.ran = true;
    // First, so that whatever goes wrong below is never retried. A flag that can't be saved
    // only means the harmless copy below runs again next time: current values still win.
    defaults.set(prefs::migratedFromSandbox, true);

    const auto bytes = readOldFile(sandboxPreferencesFile(home, bundleIdentifier), report.problem);
    if (!bytes) {
        return report;
    }
    auto old =
        readPropertyListDictionary(*bytes, PropertyListFormats::xmlOrBinary, &report.problem);
    if (!old) {
        return report;
    }
    report.skippedKeys = std::move(old->skippedKeys);
    // Asked once: every key copied below is added to it, as the preferences themselves would.
    auto current = defaults.persistentDomain();
    for (auto& [key, value] : old->entries) {
        if (current.contains(key)) {
            report.keptKeys.push_back(key);
            continue;
        }
        defaults.set(key, value);
        current.insert_or_assign(key, std::move(value));
        report.copiedKeys.push_back(key);
    }
    return report;
}

} // namespace tessera
