#pragma once

#include "CompositedDesktop.h"

#include <QString>

namespace tessera::screenshots {

// The screen the shell runs on, in pixels.
inline constexpr int screenWidth = 1920;
inline constexpr int screenHeight = 1440;

// The desktop every test of this program draws on; started before the first test.
CompositedDesktop& desktop();

// Where the pictures go: $TESSERA_SCREENSHOT_DIR, else the build's "screenshots" folder.
QString screenshotFolder();

} // namespace tessera::screenshots
