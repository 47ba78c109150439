// `tesseractl run` on a real X server (Xvfb with openbox): latencies, each next to the X round
// trip measured in the same run, so the figures say how much Tessera adds to what the server and
// the window manager cost anyway, and what it costs while nothing happens. Run by
// bench/x11-measure.

#include "Guarded.h"

#include "tests/x11/XServerFixture.h"
#include "tests/x11/ZoneTargets.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Displays.h"

#include <X11/keysym.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tessera::x11test {
namespace {

using bench::guarded;
using Clock = std::chrono::steady_clock;

// A fresh desktop per benchmark: xlogo, active, with tesseractl running.
class Desktop : public benchmark::Fixture {
public:
    void SetUp(benchmark::State& state) override {
        guarded(state, [&] {
            server = std::make_unique<XServer>();
            run = std::make_unique<TesseraRun>(*server, std::string(), environment);
            window = server->launch({"xlogo", "-geometry", "400x300+300+200"}).window;
            server->activate(window);
            if (!server->waitUntil([&] { return server->activeWindow() == window; })) {
                throw std::runtime_error("xlogo did not become active");
            }
            sync();
            ready = true;
        });
    }
    // A benchmark's body, unless the desktop failed to start.
    void measure(benchmark::State& state, const std::function<void()>& body) {
        if (ready) {
            guarded(state, body);
        }
    }
    void TearDown(benchmark::State&) override {
        run.reset();
        server.reset();
    }

    // Waits until the window's outer frame differs from the given one; the time since start.
    double secondsUntilMoved(const Rect& from, Clock::time_point start) {
        if (!server->waitUntil([&] { return server->outerFrame(window) != from; }, 5)) {
            throw std::runtime_error("the window did not move");
        }
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    // Presses the window's title bar, drags it in eight steps onto the target's card and
    // releases the button there, each step handled by tesseractl before the next (its sync
    // barrier), as a hand would. Calls stepped after every barrier, with the step's number (0
    // for the press, 1 to 8 for the motions, 9 for the release).
    void dragOnto(const ZoneTarget& target, const std::function<void(int)>& stepped) {
        const auto outer = server->outerFrame(window).value_or(Rect{});
        const auto extents = server->frameExtents(window);
        const Pixel press{
            static_cast<int>(outer.minX() + outer.width() * 0.4),
            static_cast<int>(outer.minY() + (extents.size() == 4 ? extents[2] / 2 : 4))};
        server->pointerTo(press.x, press.y);
        sync();
        server->button(1, true);
        sync();
        stepped(0);
        const auto to = pixelAt(target.cardCentre);
        for (int i = 1; i <= 8; ++i) {
            server->pointerTo(press.x + (to.x - press.x) * i / 8,
                              press.y + (to.y - press.y) * i / 8);
            sync();
            stepped(i);
        }
        const auto expected = onPixels(target.windowFrame);
        server->button(1, false);
        if (!server->waitUntil([&] { return server->outerFrame(window) == expected; }, 5)) {
            throw std::runtime_error("the window did not fill the zone");
        }
        sync();
        stepped(9);
    }

    // The zones of the first display's layout, the first two of which the drags alternate
    // between.
    std::vector<ZoneTarget> targets() {
        std::string error;
        auto connection = X11Connection::open(server->display(), error);
        if (!connection) {
            throw std::runtime_error(error);
        }
        X11Displays displays(*connection);
        auto found = zoneTargets(
            displays.screens(),
            std::filesystem::path(run->home()) / ".local/share/Tessera/layouts.json", {});
        if (found.size() < 2) {
            throw std::runtime_error("the layout has fewer than two zones");
        }
        return found;
    }

    // tesseractl's barrier; each costs it one round trip.
    void sync() {
        run->sync();
        ++barriers;
    }

    std::unique_ptr<XServer> server;
    std::unique_ptr<TesseraRun> run;
    XWindow window = 0;
    std::vector<std::string> environment;
    double barriers = 0;
    bool ready = false;
};

// The same desktop with tesseractl telling its round trips at every barrier.
class CountingDesktop : public Desktop {
public:
    CountingDesktop() { environment = {"TESSERA_DEBUG=1"}; }

    // The round trips tesseractl has waited for until a new barrier, not counting the
    // barriers' own reads of their property.
    double roundTrips() {
        sync();
        const auto line = run->process().waitForLine(
            [](const std::string& text) { return text.rfind("round trips: ", 0) == 0; });
        if (!line) {
            throw std::runtime_error("tesseractl did not report its round trips");
        }
        return std::stod(line->substr(13)) - barriers;
    }
};

BENCHMARK_DEFINE_F(Desktop, XRoundTrip)(benchmark::State& state) {
    measure(state, [&] {
        for (auto _ : state) {
            server->sync();
        }
    });
}
BENCHMARK_REGISTER_F(Desktop, XRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// What the drag path asks of the displays on every motion when nothing has changed since the
// last time: kept from events, the list should cost far less than one round trip (above).
BENCHMARK_DEFINE_F(Desktop, UnchangedScreens)(benchmark::State& state) {
    measure(state, [&] {
        std::string error;
        auto connection = X11Connection::open(server->display(), error);
        if (!connection) {
            throw std::runtime_error(error);
        }
        X11Displays displays(*connection);
        for (auto _ : state) {
            benchmark::DoNotOptimize(displays.screens());
        }
    });
}
BENCHMARK_REGISTER_F(Desktop, UnchangedScreens)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// The "Fill Screen" shortcut (Super+Alt+Return) on the active window, which alternates between
// filling the display and going back: from the key press to the moved frame seen by a client.
BENCHMARK_DEFINE_F(Desktop, HotkeyToPlaced)(benchmark::State& state) {
    measure(state, [&] {
        for (auto _ : state) {
            const auto before = server->outerFrame(window).value_or(Rect{});
            server->key(XK_Super_L, true);
            server->key(XK_Alt_L, true);
            const auto start = Clock::now();
            server->key(XK_Return, true);
            state.SetIterationTime(secondsUntilMoved(before, start));
            server->key(XK_Return, false);
            server->key(XK_Alt_L, false);
            server->key(XK_Super_L, false);
            sync();
        }
    });
}
BENCHMARK_REGISTER_F(Desktop, HotkeyToPlaced)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40);

// A title-bar drag of the window onto a zone's card, alternating between two zones: from the
// button's release to the window seen at the zone's frame. The drag itself moves in steps, each
// handled by tesseractl before the next (its sync barrier), as a hand would.
BENCHMARK_DEFINE_F(Desktop, DropToFrame)(benchmark::State& state) {
    measure(state, [&] {
        const auto zones = targets();
        std::size_t next = 0;
        for (auto _ : state) {
            Clock::time_point released;
            dragOnto(zones[next], [&](int step) {
                if (step == 8) {
                    released = Clock::now();
                }
            });
            next = (next + 1) % 2;
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - released).count());
        }
    });
}
BENCHMARK_REGISTER_F(Desktop, DropToFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// Blocking round trips of tesseractl's connection and window model: per pointer motion of a
// title-bar drag, per drop onto a zone and per "Fill Screen" shortcut placement.
BENCHMARK_DEFINE_F(CountingDesktop, RoundTrips)(benchmark::State& state) {
    measure(state, [&] {
        const auto zones = targets();
        std::size_t next = 0;
        double motions = 0;
        double drops = 0;
        double shortcuts = 0;
        for (auto _ : state) {
            double before = 0;
            dragOnto(zones[next], [&](int step) {
                if (step == 9) {
                    return;
                }
                const double count = roundTrips();
                if (step >= 1) {
                    motions += count - before;
                }
                before = count;
            });
            drops += roundTrips() - before;
            next = (next + 1) % 2;
            const auto placed = server->outerFrame(window).value_or(Rect{});
            const double beforeShortcut = roundTrips();
            server->chord({XK_Super_L, XK_Alt_L}, XK_Return);
            secondsUntilMoved(placed, Clock::now());
            shortcuts += roundTrips() - beforeShortcut;
        }
        const auto iterations = double(state.iterations());
        state.counters["per_motion"] = motions / (8 * iterations);
        state.counters["per_drop"] = drops / iterations;
        state.counters["per_shortcut"] = shortcuts / iterations;
    });
}
BENCHMARK_REGISTER_F(CountingDesktop, RoundTrips)->Unit(benchmark::kMillisecond)->Iterations(6);

// Processor time (user + system) and wake-ups (context switches) of a process so far.
struct Usage {
    double cpuSeconds = 0;
    long wakeups = 0;
};

Usage usageOf(pid_t pid) {
    Usage usage;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold spaces and ends with the last ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long user = 0;
    long system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::stol(field);
        } else if (index == 15) {
            system = std::stol(field);
            break;
        }
    }
    usage.cpuSeconds = double(user + system) / double(::sysconf(_SC_CLK_TCK));
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
            line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
            usage.wakeups += std::stol(line.substr(line.find(':') + 1));
        }
    }
    return usage;
}

// tesseractl left alone for a minute on a desktop where nothing happens.
BENCHMARK_DEFINE_F(Desktop, IdleMinute)(benchmark::State& state) {
    measure(state, [&] {
        for (auto _ : state) {
            const auto pid = run->process().pid();
            const auto before = usageOf(pid);
            const auto start = Clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(60));
            const auto after = usageOf(pid);
            state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
            state.counters["cpu_ms"] = (after.cpuSeconds - before.cpuSeconds) * 1000;
            state.counters["wakeups"] = double(after.wakeups - before.wakeups);
        }
    });
}
BENCHMARK_REGISTER_F(Desktop, IdleMinute)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
} // namespace tessera::x11test

BENCHMARK_MAIN();
