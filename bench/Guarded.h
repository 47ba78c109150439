#pragma once

#include <benchmark/benchmark.h>

#include <exception>
#include <functional>

namespace tessera::bench {

// Google Benchmark lets an exception end the program without unwinding, which would leave the
// servers a fixture started (Xvfb, a window manager, kwin_wayland, their clients) running: a
// failure becomes the benchmark's error instead, and the fixture's tear-down still ends them.
inline void guarded(benchmark::State& state, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
    }
}

} // namespace tessera::bench
