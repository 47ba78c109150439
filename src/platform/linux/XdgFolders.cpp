#include "XdgFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace tessera {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> absoluteVariable(const EnvironmentLookup& getenv, const char* name) {
    const char* value = getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    fs::path path(value);
    if (!path.is_absolute()) {
        return std::nullopt;
    }
    return path;
}

fs::path homeFolder(const EnvironmentLookup& getenv) {
    if (const char* home = getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
        return entry->pw_dir;
    }
    return "/";
}

} // namespace

UserFolders xdgUserFolders(const EnvironmentLookup& getenv) {
    UserFolders folders;
    folders.home = homeFolder(getenv);
    folders.applicationSupport =
        absoluteVariable(getenv, "XDG_DATA_HOME").value_or(folders.home / ".local" / "share");
    folders.preferences =
        absoluteVariable(getenv, "XDG_CONFIG_HOME").value_or(folders.home / ".config");
    folders.temporary = absoluteVariable(getenv, "TMPDIR").value_or("/tmp");
    folders.state =
        absoluteVariable(getenv, "XDG_STATE_HOME").value_or(folders.home / ".local" / "state");
    return folders;
}

UserFolders xdgUserFolders() {
    return xdgUserFolders([](const char* name) { return std::getenv(name); });
}

fs::path preferencesFile(const UserFolders& folders) {
    return folders.preferences / "Tessera" / "preferences.plist";
}

} // namespace tessera
