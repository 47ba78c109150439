#pragma once

#include "XServerFixture.h"
#include "ZoneTargets.h"

#include "../unit/TempDir.h"

#include "core/model/Geometry.h"
#include "core/model/Records.h"
#include "core/model/Screens.h"
#include "core/platform/Defaults.h"
#include "platform/sim/SimDefaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tessera::x11test {

// A private server with `tesseractl run` on it, and what the core makes of its displays. The
// preferences are written for tesseractl when it starts; its layouts live in a folder of the
// test's, so they can be written before it starts.
class TesseraDesk {
    // First, so it goes last, after tesseractl.
    test::TempDir data_;

public:
    TesseraDesk(ServerOptions options, Desktop desktop = {});
    // Prints what tesseractl said when the test failed.
    ~TesseraDesk();
    TesseraDesk(const TesseraDesk&) = delete;
    TesseraDesk& operator=(const TesseraDesk&) = delete;

    // Starts tesseractl, with these settings in its environment and the preferences set so far.
    void start(const std::vector<std::string>& env = {});
    std::filesystem::path layoutsFile() const { return data_.path() / "Tessera" / "layouts.json"; }

    // The displays as the window manager defines them: the monitors, the one at the origin
    // first, each with the part of the work area on it as its free area (all of it when none
    // is: xfwm4 gives the work area of the first monitor alone).
    std::vector<SystemDisplay> displays();
    SystemDisplay display(std::string_view name);
    // The display's frame in the top-left system of windows.
    Rect topLeftFrame(const SystemDisplay& display);
    void setMonitors(const std::vector<Monitor>& monitors);
    // Where a window goes for the zone, or for Fill Screen, on the display.
    Rect zoneFrame(const SystemDisplay& display, const Zone& zone);
    Rect fillFrame(const SystemDisplay& display);
    std::vector<ZoneTarget> targets() {
        return zoneTargets(displays(), layoutsFile(), preferences.persistentDomain());
    }
    // Presses the shortcut as the user would, then waits until tesseractl has handled it.
    void press(const KeyCombo& combo);
    // Whether the window shows exactly the frame, as far as it lets itself be sized: the same
    // origin, and each side as long, or shorter by less than one of its size steps, or as long
    // as its minimum size makes it.
    bool fits(XWindow window, const Rect& wanted);
    // Waits for the window to fit the frame; a readable failure when it does not. A GTK window
    // redrawn by the software renderer beside a compositor, on a machine the tests share, takes
    // seconds for a screen-sized frame.
    ::testing::AssertionResult arrives(XWindow window, const Rect& wanted, double seconds = 20);

    SimDefaults preferences;
    XServer server;
    std::unique_ptr<TesseraRun> run;

private:
    std::vector<Monitor> monitors_;
};

} // namespace tessera::x11test
