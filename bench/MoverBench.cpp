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

// A temporary folder for the life of one benchmark run.
class ScratchFolder {
public:
    ScratchFolder() {
        auto pattern = (fs::temp_directory_path() / "tessera-mover-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Six 1920 × 1080 displays in a row, the primary one first.
std::vector<SystemDisplay> sixDisplays() {
    std::vector<SystemDisplay> screens;
    for (int i = 0; i < 6; ++i) {
        screens.push_back(simscreens::display(
            {1920.0 * i, 0, 1920, 1080}, "Display " + std::to_string(i), 1, i == 0 ? 25 : 0, 0));
    }
    return screens;
}

// A 6 by 4 grid of zones.
Layout gridLayout(int index) {
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

// One move to the neighbouring zone with 144 candidate zones on six displays: every zone's
// window frame is computed (preferences read each time) and scored.
void BM_NeighbourMoveSixDisplays(benchmark::State& state) {
    ScratchFolder folder;
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
