// Drag-to-snap measurements. Shared fixtures first, then one section per component.

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/model/Screens.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimOverlaySurface.h"
#include "platform/sim/SimScheduler.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tessera;

// =============================================================================================
// Shared fixtures
// =============================================================================================

// A temporary folder for the life of one benchmark run.
class DragBenchFolder {
public:
    DragBenchFolder() {
        auto pattern = (fs::temp_directory_path() / "tessera-drag-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    DragBenchFolder(const DragBenchFolder&) = delete;
    DragBenchFolder& operator=(const DragBenchFolder&) = delete;
    ~DragBenchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Six 1920 × 1080 displays in a row, the primary one first with a menu bar.
std::vector<SystemDisplay> sixDragDisplays() {
    std::vector<SystemDisplay> screens;
    for (int i = 0; i < 6; ++i) {
        screens.push_back(simscreens::display(
            {1920.0 * i, 0, 1920, 1080}, "Display " + std::to_string(i), 1, i == 0 ? 25 : 0, 0));
    }
    return screens;
}

// A 6 by 4 grid of zones.
Layout dragGridLayout(int index) {
    Layout layout{Uuid::random(), "Grid " + std::to_string(index), {}};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 6; ++column) {
            Zone zone;
            zone.id = Uuid::random();
            zone.name = std::to_string(row) + "," + std::to_string(column);
            zone.x = column / 6.0;
            zone.y = row / 4.0;
            zone.width = 1 / 6.0;
            zone.height = 1 / 4.0;
            layout.zones.push_back(zone);
        }
    }
    return layout;
}

// Six displays, each with its own 24-zone layout, and everything the overlay controller needs.
struct DragBenchDesktop {
    DragBenchDesktop() {
        registerPreferenceDefaults(defaults);
        for (std::size_t i = 0; i < screens.size(); ++i) {
            const Layout layout = dragGridLayout(static_cast<int>(i));
            store.upsert(layout);
            store.assign(layout.id, makeScreenInfo(screens[i]));
        }
    }

    DragBenchFolder folder;
    std::vector<SystemDisplay> screens = sixDragDisplays();
    SimDisplays displays{screens};
    SimScheduler scheduler;
    SimDefaults defaults;
    TableLocalizer localizer = makeSimLocalizer();
    SimOverlaySurfaceFactory surfaces;
    LayoutStore store{folder.path() / "layouts.json"};
};

// =============================================================================================
// Overlay controller
// =============================================================================================

// One show over six displays of 24 zones whose panels already exist: 144 zone models rebuilt
// and compared, nothing assigned, six panels ordered front. The fade-in job runs outside the
// measurement.
void BM_OverlayShowSixDisplays(benchmark::State& state) {
    DragBenchDesktop desk;
    DragOverlayController overlay(desk.displays, desk.scheduler, desk.localizer, desk.defaults,
                                  desk.surfaces);
    overlay.show(desk.store, std::nullopt);
    for (auto _ : state) {
        overlay.show(desk.store, std::nullopt);
        state.PauseTiming();
        desk.scheduler.advance(0.02);
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(overlay.surfaces().size());
}
BENCHMARK(BM_OverlayShowSixDisplays);

// The first show after start: six panels and states created as well (and, with the controller
// going out of scope, destroyed again).
void BM_OverlayFirstShowSixDisplays(benchmark::State& state) {
    DragBenchDesktop desk;
    for (auto _ : state) {
        SimOverlaySurfaceFactory surfaces;
        DragOverlayController overlay(desk.displays, desk.scheduler, desk.localizer, desk.defaults,
                                      surfaces);
        overlay.show(desk.store, std::nullopt);
        benchmark::DoNotOptimize(overlay.surfaces().size());
        state.PauseTiming();
        desk.scheduler.advance(0.02);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OverlayFirstShowSixDisplays);

// The drop-target lookup each drag event makes: the display under the pointer and the card hit
// test over its 24 zones, here on the last display.
void BM_OverlayDropTargetSixDisplays(benchmark::State& state) {
    DragBenchDesktop desk;
    DragOverlayController overlay(desk.displays, desk.scheduler, desk.localizer, desk.defaults,
                                  desk.surfaces);
    const Point point{1920.0 * 5 + 160, 135};
    for (auto _ : state) {
        benchmark::DoNotOptimize(overlay.dropTarget(point, desk.store));
    }
}
BENCHMARK(BM_OverlayDropTargetSixDisplays);

} // namespace

// =============================================================================================
// Drag monitor
// =============================================================================================

#include "core/drag/DragMonitor.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimLog.h"

namespace {

// Everything a drag monitor works with, on a simulated desktop of six displays with 24 zones
// each, and an editor window already being dragged with the overlay up.
struct DragMonitorBenchDesktop {
    static constexpr ProcessId ownPID = 42;
    static constexpr ProcessId editorPID = 501;

    DragMonitorBenchDesktop() {
        registerPreferenceDefaults(defaults);
        for (std::size_t i = 0; i < screens.size(); ++i) {
            const Layout layout = dragGridLayout(static_cast<int>(i));
            store.upsert(layout);
            store.assign(layout.id, makeScreenInfo(screens[i]));
        }
        desktop.addApplication(editorPID, std::string("com.example.editor"), "Editor");
        window = desktop.addWindow(editorPID, {100, 100, 800, 600});
        desktop.setFrontmostApplication(editorPID);
        monitor.stop();
        monitor.installTap();
        monitor.installEventMonitors();
        // Press in the title band, then move pointer and window far enough for the overlay.
        monitor.mouseDown({300, 120}, false);
        desktop.setFrame(window, {400, 100, 800, 600});
        monitor.mouseDragged({600, 120});
        desktop.clearCalls();
    }

    DragBenchFolder folder;
    std::vector<SystemDisplay> screens = sixDragDisplays();
    SimDesktop desktop{screens};
    SimInputEvents input{desktop.displays()};
    SimScheduler scheduler;
    SimLog log;
    SimDefaults defaults;
    TableLocalizer localizer = makeSimLocalizer();
    SimOverlaySurfaceFactory surfaces;
    LayoutStore store{folder.path() / "layouts.json"};
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    DragOverlayController overlay{desktop.displays(), scheduler, localizer, defaults, surfaces};
    DragMonitor monitor{input,     desktop, desktop,  desktop.displays(),
                        scheduler, log,     defaults, store,
                        mover,     overlay, ownPID};
    AccessibilityElement window;
};

// One drag event while the overlay is up: the window's frame read (two accessibility calls),
// the preference read, the drop-target lookup over the last display's 24 cards and the hover
// update, which alternates between two zones so it assigns every time. The simulated desktop
// records each accessibility call; the record is emptied every 1024 events, inside the
// measurement, so its cost is included rather than hidden.
void BM_DragMonitorMouseDraggedSixDisplays(benchmark::State& state) {
    DragMonitorBenchDesktop desk;
    const Point points[] = {{1920.0 * 5 + 160, 135}, {1920.0 * 5 + 480, 135}};
    std::size_t event = 0;
    for (auto _ : state) {
        desk.monitor.mouseDragged(points[event & 1]);
        if ((++event & 1023) == 0) {
            desk.desktop.clearCalls();
        }
    }
    benchmark::DoNotOptimize(desk.monitor.session());
    if (!desk.monitor.session() || !desk.monitor.session()->overlayShown) {
        state.SkipWithError("the drag was not in progress");
    }
}
BENCHMARK(BM_DragMonitorMouseDraggedSixDisplays);

} // namespace
