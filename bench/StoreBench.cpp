#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/LayoutStore.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace tessera;

// A temporary folder for the life of one benchmark run.
class TemporaryFolder {
public:
    TemporaryFolder() {
        auto pattern = (fs::temp_directory_path() / "tessera-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A large store: many layouts of a 6 by 4 grid, each zone with a shortcut, so the document
// is far bigger than any real one.
LayoutStorePayload bigPayload(int layoutCount, int zonesPerLayout) {
    LayoutStorePayload payload;
    for (int l = 0; l < layoutCount; ++l) {
        Layout layout{Uuid::random(), "Layout " + std::to_string(l), {}};
        for (int z = 0; z < zonesPerLayout; ++z) {
            const double column = z % 6;
            const double row = static_cast<double>(z / 6);
            layout.zones.push_back(Zone{
                Uuid::random(), "Zone " + std::to_string(z), column / 6, row / 4, 1.0 / 6, 0.25,
                KeyCombo{static_cast<std::uint32_t>(z), carbon::cmdKey, "⌘" + std::to_string(z)}});
        }
        payload.layouts.push_back(std::move(layout));
        payload.assignments["5120x2880px|Display " + std::to_string(l)] = payload.layouts.back().id;
    }
    payload.seeded = builtInLayoutIDs();
    return payload;
}

fs::path storeWith(const TemporaryFolder& folder, const LayoutStorePayload& payload) {
    const auto file = folder.path() / "Tessera" / "layouts.json";
    LayoutStore store(file);
    store.apply(payload);
    return file;
}

void BM_StoreLoad(benchmark::State& state) {
    const TemporaryFolder folder;
    const auto file = storeWith(folder, bigPayload(200, 24));
    for (auto _ : state) {
        LayoutStore store(file);
        benchmark::DoNotOptimize(store.layouts().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(file)));
}
BENCHMARK(BM_StoreLoad)->Unit(benchmark::kMillisecond);

void BM_StoreSave(benchmark::State& state) {
    const TemporaryFolder folder;
    const auto file = storeWith(folder, bigPayload(200, 24));
    LayoutStore store(file);
    for (auto _ : state) {
        if (!store.save()) {
            state.SkipWithError(store.lastSaveError().c_str());
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(fs::file_size(file)));
}
BENCHMARK(BM_StoreSave)->Unit(benchmark::kMillisecond);

ScreenInfo display(const std::string& name, std::int64_t width, std::int64_t height) {
    return ScreenInfo{"", name, width, height, width * 2, height * 2, 2, {}};
}

// The lookup the overlay, shortcuts and interface run for every display: the first layout
// assigned, the last one assigned, no key matching (first layout), and no key matching on a
// 2560 by 1440 display whose default layout the user deleted (fresh built-in copy).
void BM_LayoutFor(benchmark::State& state) {
    const TemporaryFolder folder;
    const auto file = storeWith(folder, bigPayload(100, 24));
    const LayoutStore store(file);
    const ScreenInfo screens[] = {display("Display 0", 2560, 1440),
                                  display("Display 99", 2560, 1440), display("Unknown", 1920, 1080),
                                  display("Unknown", 2560, 1440)};
    const auto& screen = screens[state.range(0)];
    for (auto _ : state) {
        auto layout = store.layoutFor(screen);
        benchmark::DoNotOptimize(layout);
    }
}
BENCHMARK(BM_LayoutFor)->ArgName("case")->DenseRange(0, 3);

} // namespace
