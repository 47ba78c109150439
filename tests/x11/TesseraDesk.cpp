#include "TesseraDesk.h"

#include "core/app/Preferences.h"
#include "core/drag/DragOverlayController.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/store/LayoutStore.h"
#include "platform/linux/MacKeyCodes.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/sim/SimDefaults.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <stdexcept>
#include <string>

namespace tessera::x11test {

namespace {

// The keys that hold a shortcut's modifiers on X: Option is Alt, Command is Super.
std::vector<std::uint32_t> modifierKeysOf(std::uint32_t carbonModifiers) {
    std::vector<std::uint32_t> keys;
    for (const auto& [bit, key] : {std::pair{carbon::controlKey, XK_Control_L},
                                   {carbon::optionKey, XK_Alt_L},
                                   {carbon::shiftKey, XK_Shift_L},
                                   {carbon::cmdKey, XK_Super_L}}) {
        if ((carbonModifiers & bit) != 0) {
            keys.push_back(key);
        }
    }
    return keys;
}

} // namespace

TesseraDesk::TesseraDesk(ServerOptions options, Desktop desktop)
    : server(options, desktop), monitors_(std::move(options.monitors)) {
    registerPreferenceDefaults(preferences);
    preferences.set(prefs::windowGap, 10.0);
}

TesseraDesk::~TesseraDesk() {
    if (run && ::testing::Test::HasFailure()) {
        std::cout << "tesseractl said:\n" << run->process().errorOutput();
    }
}

void TesseraDesk::start(const std::vector<std::string>& env) {
    auto environment = env;
    environment.push_back("XDG_DATA_HOME=" + data_.path().string());
    run = std::make_unique<TesseraRun>(server, encodePreferences(preferences.persistentDomain()),
                                       environment);
}

std::vector<SystemDisplay> TesseraDesk::displays() {
    auto monitors = monitors_;
    if (monitors.empty()) {
        monitors.push_back({"screen", Rect(0, 0, server.width(), server.height())});
    }
    std::stable_partition(monitors.begin(), monitors.end(), [](const Monitor& monitor) {
        return monitor.frame.minX() == 0 && monitor.frame.minY() == 0;
    });
    const Rect primary(0, 0, monitors.front().frame.width(), monitors.front().frame.height());
    const Rect work = server.workArea();
    std::vector<SystemDisplay> result;
    for (const auto& monitor : monitors) {
        const auto& f = monitor.frame;
        const double x = std::max(f.minX(), work.minX());
        const double y = std::max(f.minY(), work.minY());
        Rect free(x, y, std::min(f.maxX(), work.maxX()) - x, std::min(f.maxY(), work.maxY()) - y);
        if (free.width() <= 0 || free.height() <= 0) {
            free = f;
        }
        result.push_back({toBottomLeft(f, primary), toBottomLeft(free, primary), 1, monitor.name});
    }
    return result;
}

SystemDisplay TesseraDesk::display(std::string_view name) {
    for (const auto& display : displays()) {
        if (display.name == name) {
            return display;
        }
    }
    throw std::runtime_error("no display " + std::string(name));
}

Rect TesseraDesk::topLeftFrame(const SystemDisplay& display) {
    return toTopLeft(display.frame, primaryDisplay(displays()).frame);
}

void TesseraDesk::setMonitors(const std::vector<Monitor>& monitors) {
    server.setMonitors(monitors);
    monitors_ = monitors;
}

Rect TesseraDesk::zoneFrame(const SystemDisplay& display, const Zone& zone) {
    return zoneWindowFrame(zone, display.visibleFrame, primaryDisplay(displays()).frame,
                           gapRule(preferences));
}

Rect TesseraDesk::fillFrame(const SystemDisplay& display) {
    return fillWindowFrame(display.visibleFrame, primaryDisplay(displays()).frame,
                           gapRule(preferences));
}

void TesseraDesk::press(const KeyCombo& combo) {
    server.chord(modifierKeysOf(combo.carbonModifiers), keysymForMacKeyCode(combo.keyCode).value());
    run->sync();
}

bool TesseraDesk::fits(XWindow window, const Rect& wanted) {
    const auto visible = server.visibleFrame(window);
    const auto client = server.clientFrame(window);
    if (!visible || !client) {
        return false;
    }
    const auto expected = onPixels(wanted);
    const auto hints = server.sizeHints(window);
    const auto fitsSide = [](double side, double want, double step, double minimum) {
        if (want <= minimum) {
            return side == minimum;
        }
        return side <= want && side > want - step;
    };
    return visible->origin == expected.origin &&
           fitsSide(visible->width(), expected.width(), hints.widthIncrement,
                    hints.minWidth + visible->width() - client->width()) &&
           fitsSide(visible->height(), expected.height(), hints.heightIncrement,
                    hints.minHeight + visible->height() - client->height());
}

::testing::AssertionResult TesseraDesk::arrives(XWindow window, const Rect& wanted,
                                                double seconds) {
    if (server.waitUntil([&] { return fits(window, wanted); }, seconds)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "the window shows " << ::testing::PrintToString(server.visibleFrame(window))
           << ", not " << ::testing::PrintToString(onPixels(wanted));
}

} // namespace tessera::x11test
