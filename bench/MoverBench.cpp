#include "BenchSupport.h"

#include "core/app/Preferences.h"
#include "core/model/Screens.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimDisplays.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace tessera;

constexpr ProcessId tesseraProcess = 42;
constexpr ProcessId editor = 501;

using bench::gridLayout;
using bench::ScratchFolder;
using bench::sixDisplays;

// One move to the neighbouring zone with 144 candidate zones on six displays: every zone's
// window frame is computed (preferences read each time) and scored.
void BM_NeighbourMoveSixDisplays(benchmark::State& state) {
    ScratchFolder folder{"tessera-mover-bench"};
    LayoutStore store{folder.path() / "layouts.json"};
    SimDesktop desktop{sixDisplays()};
    SimDefaults defaults;
    defaults.set(prefs::windowGap, 8.0);
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    const auto screens = desktop.displays().screens();
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const auto layout = gridLayout(static_cast<int>(i));
        store.upsert(layout);
        store.assign(layout.id, makeScreenInfo(screens[i]));
    }
    desktop.addApplication(editor, "com.example.editor", "Editor");
    desktop.setFrontmostApplication(editor);
    // In the middle of the third display, so the move has candidates on both sides.
    const Rect start{1920.0 * 2 + 800, 300, 320, 270};
    const auto window = desktop.addWindow(editor, start);

    for (auto _ : state) {
        desktop.setFrame(window, start);
        desktop.clearCalls();
        benchmark::DoNotOptimize(mover.moveToNeighbouringZone(ZoneDirection::right, store,
                                                              tesseraProcess, std::nullopt));
    }
    state.counters["zones"] = 144;
}
BENCHMARK(BM_NeighbourMoveSixDisplays);

// One placement: frame computation, read, raise, three writes, read back and record.
void BM_PlaceInZone(benchmark::State& state) {
    SimDesktop desktop{simscreens::sideBySide()};
    SimDefaults defaults;
    defaults.set(prefs::windowGap, 8.0);
    AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    desktop.addApplication(editor, "com.example.editor", "Editor");
    const auto window = desktop.addWindow(editor, {100, 100, 600, 400});
    const auto layout = gridLayout(0);
    const auto display = desktop.displays().screens()[1];
    std::size_t next = 0;
    for (auto _ : state) {
        desktop.clearCalls();
        benchmark::DoNotOptimize(mover.placeInZone(window, layout.zones[next], display));
        next = (next + 1) % layout.zones.size();
    }
}
BENCHMARK(BM_PlaceInZone);

} // namespace
