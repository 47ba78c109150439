#pragma once

#include "core/platform/AppServices.h"

#include <functional>
#include <string>

namespace tessera {

// The bundle identifier Tessera uses on every platform (it names the former container folder
// and the log subsystem).
inline constexpr const char* bundleIdentifier = "app.tessera.Tessera";

// The user's folders from the environment: HOME, XDG_DATA_HOME (default ~/.local/share) as the
// application data folder, XDG_CONFIG_HOME (default ~/.config) for preferences, XDG_STATE_HOME
// (default
// ~/.local/state) for state kept across runs, TMPDIR (default
// /tmp). XDG variables that are empty or relative are ignored, as XDG base directories
// require.
using EnvironmentLookup = std::function<const char*(const char*)>;
UserFolders xdgUserFolders(const EnvironmentLookup& getenv);
UserFolders xdgUserFolders();

// "$XDG_CONFIG_HOME/Tessera/preferences.plist".
std::filesystem::path preferencesFile(const UserFolders& folders);

} // namespace tessera
