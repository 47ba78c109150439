// `tesseractl run --platform kwin` on a headless kwin_wayland (the KWin tests' session): drop and
// shortcut latencies, each next to what KWin costs without Tessera in the same run (a D-Bus round
// trip to KWin, a frame set by a plain script, a fake input round trip). Run by bench/kwin-measure.

#include "Guarded.h"

#include "tests/kwin/KWinSession.h"
#include "tests/x11/ZoneTargets.h"

#include "core/app/Preferences.h"
#include "core/placement/WindowCommand.h"
#include "platform/kwin/KWinPorts.h"
#include "platform/sim/SimDefaults.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessera::kwintest {
namespace {

using bench::guarded;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A fresh session per benchmark: a Wayland-native window, active, with tesseractl running.
class Session : public benchmark::Fixture {
public:
    void SetUp(benchmark::State& state) override {
        guarded(state, [&] {
            session = std::make_unique<KWinSession>();
            window = session->openWindow("tessera-wayland-window", true);
            tessera = session->startTessera({"--platform", "kwin"});
            session->activate(window);
        });
    }
    // A benchmark's body, unless the session failed to start.
    void measure(benchmark::State& state, const std::function<void()>& body) {
        if (session) {
            guarded(state, body);
        }
    }
    void TearDown(benchmark::State&) override {
        tessera.reset();
        session.reset();
    }

    // Reads the window's frame from KWin as fast as it answers until the condition holds.
    void waitForFrame(const std::function<bool(const std::optional<Rect>&)>& condition) {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        for (auto seen = session->frame(window); !condition(seen); seen = session->frame(window)) {
            if (Clock::now() > deadline) {
                const auto frame = seen.value_or(Rect{});
                throw std::runtime_error(
                    "KWin shows the window at (" + std::to_string(frame.minX()) + ", " +
                    std::to_string(frame.minY()) + ", " + std::to_string(frame.width()) + ", " +
                    std::to_string(frame.height()) + "), not as expected");
            }
        }
    }

    std::unique_ptr<KWinSession> session;
    std::string window;
    std::unique_ptr<ChildProcess> tessera;
};

// One D-Bus call answered by KWin (getWindowInfo), for comparison.
BENCHMARK_DEFINE_F(Session, KWinDBusRoundTrip)(benchmark::State& state) {
    measure(state, [&] {
        for (auto _ : state) {
            benchmark::DoNotOptimize(session->frame(window));
        }
    });
}
BENCHMARK_REGISTER_F(Session, KWinDBusRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(500);

// KWin without Tessera: a plain script, loaded and started, that sets the window's frame, until
// KWin shows the frame (alternating between two).
BENCHMARK_DEFINE_F(Session, PlainScriptFrameToApplied)(benchmark::State& state) {
    measure(state, [&] {
        int next = 0;
        for (auto _ : state) {
            const Rect frame(100.0 + 400 * next, 100, 800, 600);
            std::ostringstream script;
            script << "windows().forEach(function (w) {\n"
                   << "  if (String(w.internalId) === \"" << window << "\")\n"
                   << "    w.frameGeometry = {x: " << frame.minX() << ", y: 100, "
                   << "width: 800, height: 600};\n});\nreport(\"\");";
            const auto start = Clock::now();
            session->evaluate(script.str());
            waitForFrame([&](const std::optional<Rect>& seen) { return seen == frame; });
            state.SetIterationTime(secondsSince(start));
            next = 1 - next;
        }
    });
}
BENCHMARK_REGISTER_F(Session, PlainScriptFrameToApplied)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// A fake input step (the pointer moved) through the test helper, a process of its own: the
// round trip each step of a drag below costs.
BENCHMARK_DEFINE_F(Session, FakeInputStep)(benchmark::State& state) {
    measure(state, [&] {
        int next = 0;
        for (auto _ : state) {
            session->input({"to", std::to_string(500 + next), "500"});
            next = 1 - next;
        }
    });
}
BENCHMARK_REGISTER_F(Session, FakeInputStep)->Unit(benchmark::kMillisecond)->Iterations(20);

// "Fill Screen" through kglobalaccel, which alternates between filling the output and going
// back: from the press to KWin showing the window moved.
BENCHMARK_DEFINE_F(Session, ShortcutToPlaced)(benchmark::State& state) {
    measure(state, [&] {
        const auto row = info(WindowCommand::fillScreen);
        const auto name =
            *KWinHotkeys::shortcutName(row.defaultKeyCode, row.defaultCarbonModifiers);
        for (auto _ : state) {
            const auto before = session->frame(window);
            const auto start = Clock::now();
            session->invokeShortcut(name);
            waitForFrame([&](const std::optional<Rect>& seen) { return seen != before; });
            state.SetIterationTime(secondsSince(start));
        }
    });
}
BENCHMARK_REGISTER_F(Session, ShortcutToPlaced)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

// A title-bar drag onto a zone's card (alternating between two), in twelve fake input steps:
// from the release, handled by KWin, to KWin showing the zone's frame.
BENCHMARK_DEFINE_F(Session, DropToFrame)(benchmark::State& state) {
    measure(state, [&] {
        SimDefaults preferences;
        registerPreferenceDefaults(preferences);
        const std::vector<SystemDisplay> outputs{
            {Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1080), 1, "output-0"},
            {Rect(1920, 0, 1920, 1080), Rect(1920, 0, 1920, 1080), 1, "output-1"}};
        const auto targets =
            x11test::zoneTargets(outputs, session->layoutsFile(), preferences.persistentDomain());
        if (targets.size() < 2) {
            throw std::runtime_error("fewer than two zones");
        }
        std::size_t next = 0;
        for (auto _ : state) {
            const auto& target = next == 0 ? targets.front() : targets.back();
            const auto frame = *session->frame(window);
            const Point from{frame.minX() + frame.width() / 2, frame.minY() + 12};
            std::vector<std::string> steps{"to", std::to_string(from.x), std::to_string(from.y),
                                           "down"};
            for (int i = 1; i <= 12; ++i) {
                steps.insert(steps.end(),
                             {"to",
                              std::to_string(from.x + (target.cardCentre.x - from.x) * i / 12),
                              std::to_string(from.y + (target.cardCentre.y - from.y) * i / 12)});
            }
            steps.emplace_back("up");
            session->input(steps);
            const auto released = Clock::now();
            waitForFrame(
                [&](const std::optional<Rect>& seen) { return seen == target.windowFrame; });
            state.SetIterationTime(secondsSince(released));
            next = 1 - next;
        }
    });
}
BENCHMARK_REGISTER_F(Session, DropToFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
} // namespace tessera::kwintest

BENCHMARK_MAIN();
