#pragma once

// Fixtures shared by the benchmarks: a scratch folder and the six-display desktop of 24-zone
// grids that the placement and drag measurements run on.

#include "core/model/Records.h"
#include "core/model/Screens.h"
#include "platform/sim/SimDisplays.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tessera::bench {

// A temporary folder for the life of one benchmark run.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix = "tessera-bench") {
        auto pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Six 1920 × 1080 displays in a row, the primary one first with a menu bar.
inline std::vector<SystemDisplay> sixDisplays() {
    std::vector<SystemDisplay> screens;
    for (int i = 0; i < 6; ++i) {
        screens.push_back(simscreens::display(
            {1920.0 * i, 0, 1920, 1080}, "Display " + std::to_string(i), 1, i == 0 ? 25 : 0, 0));
    }
    return screens;
}

// A 6 by 4 grid of zones.
inline Layout gridLayout(int index) {
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

} // namespace tessera::bench
