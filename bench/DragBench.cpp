// Drag-to-snap measurements. Shared fixtures first, then one section per component.

#include "BenchSupport.h"

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

// Six displays, each with its own 24-zone layout, and everything the overlay controller needs.
struct DragBenchDesktop {
    DragBenchDesktop() {
        registerPreferenceDefaults(defaults);
        for (std::size_t i = 0; i < screens.size(); ++i) {
            const Layout layout = bench::gridLayout(static_cast<int>(i));
            store.upsert(layout);
            store.assign(layout.id, makeScreenInfo(screens[i]));
        }
    }

    bench::ScratchFolder folder{"tessera-drag-bench"};
    std::vector<SystemDisplay> screens = bench::sixDisplays();
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
            const Layout layout = bench::gridLayout(static_cast<int>(i));
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

    bench::ScratchFolder folder{"tessera-drag-bench"};
    std::vector<SystemDisplay> screens = bench::sixDisplays();
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
