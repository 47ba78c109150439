#pragma once

namespace tessera::shell {

// Sets the application's palette to the light or dark scheme; every window follows.
void applyColorScheme(bool dark);
// Whether the desktop's own palette is dark (what "System" follows).
bool desktopPrefersDark();

} // namespace tessera::shell
