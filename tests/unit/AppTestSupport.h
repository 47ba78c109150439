#pragma once

// Every port of the application state on the simulated desktop, with its folders in a temporary
// one: the world of the tests of the state, the zone editor and the control requests.

#include "PlacementTestSupport.h"
#include "TempDir.h"

#include "core/app/AppState.h"
#include "platform/sim/SimAppServices.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHotkeys.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimOverlaySurface.h"
#include "platform/sim/SimScheduler.h"

#include <vector>

namespace apptest {

inline constexpr tessera::ProcessId tesseraProcess = 42;
inline constexpr const char* bundleID = "app.tessera.Tessera";

struct SimApp {
    explicit SimApp(std::vector<tessera::SystemDisplay> screens = tessera::simscreens::single())
        : desktop(std::move(screens)) {}

    tessera::AppPorts ports() {
        return {desktop, desktop,  desktop.displays(), input,     dispatcher, scheduler,
                log,     defaults, localizer,          loginItem, services,   surfaces};
    }

    tessera::test::TempDir temp{"tessera-app"};
    tessera::SimDesktop desktop;
    tessera::SimInputEvents input{desktop.displays()};
    tessera::SimHotkeys hotkeyPort;
    tessera::HotkeyDispatcher dispatcher{hotkeyPort};
    tessera::SimScheduler scheduler;
    tessera::SimLog log;
    tessera::SimDefaults defaults;
    tessera::TableLocalizer localizer = tessera::makeSimLocalizer();
    tessera::SimLoginItem loginItem;
    tessera::SimAppServices services{
        {temp / "home", temp / "data", temp / "config", temp / "tmp", std::nullopt},
        tesseraProcess,
        bundleID};
    tessera::SimOverlaySurfaceFactory surfaces;
};

} // namespace apptest
