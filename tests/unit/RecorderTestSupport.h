#pragma once

// A desktop with a live hotkey center, shared by the tests of the shortcut recorder and of the
// command shortcuts section.

#include "TempDir.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/model/StringTables.h"
#include "core/placement/AccessibilityWindowMover.h"
#include "core/placement/CommandShortcuts.h"
#include "core/store/LayoutStore.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHotkeys.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimLocalizer.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace recordertest {

// macOS virtual key codes used by the tests.
namespace key {
inline constexpr std::uint16_t a = 0;
inline constexpr std::uint16_t z = 6;
inline constexpr std::uint16_t k = 40;
inline constexpr std::uint16_t returnKey = 36;
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t rightCommand = 54;
inline constexpr std::uint16_t function = 63;
inline constexpr std::uint16_t f17 = 64;
inline constexpr std::uint16_t f13 = 105;
inline constexpr std::uint16_t left = 123;
inline constexpr std::uint16_t right = 124;
} // namespace key

// Event flags as key events carry them.
namespace flag {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t function = 0x800000;
} // namespace flag

struct HotkeyDesktop {
    HotkeyDesktop() {
        input.setTarget(tessera::SimEventTarget::ownWindow);
        input.setDelivery(tessera::SimDelivery::monitorOnly);
    }

    // What the recorder sees of the application state: the center while one exists.
    tessera::HotkeyCenterAccess access() {
        return [this] { return center.get(); };
    }

    void createCenter() {
        center =
            std::make_unique<tessera::HotkeyCenter>(dispatcher, store, mover, desktop, desktop,
                                                    desktop.displays(), defaults, localizer, 4242);
        center->registerAll();
    }

    bool registered(std::uint32_t keyCode, std::uint32_t carbonModifiers) const {
        return hotkeys.registeredID(keyCode, carbonModifiers).has_value();
    }

    tessera::test::TempDir dir{"tessera-recorder"};
    tessera::TableLocalizer localizer = tessera::makeSimLocalizer("en");
    tessera::SimDefaults defaults;
    tessera::SimDesktop desktop;
    tessera::SimInputEvents input{desktop.displays()};
    tessera::SimHotkeys hotkeys;
    tessera::HotkeyDispatcher dispatcher{hotkeys};
    tessera::LayoutStore store{dir / "layouts.json"};
    tessera::AccessibilityWindowMover mover{desktop, desktop, desktop.displays(), defaults};
    std::unique_ptr<tessera::HotkeyCenter> center;
};

} // namespace recordertest
