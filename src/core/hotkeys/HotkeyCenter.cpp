#include "HotkeyCenter.h"

#include "../placement/AccessibilityWindowMover.h"
#include "../placement/CommandShortcuts.h"
#include "../placement/WindowAccess.h"
#include "../platform/Defaults.h"
#include "../platform/Displays.h"
#include "../platform/Localizer.h"
#include "../platform/Workspace.h"
#include "../store/LayoutStore.h"

#include <algorithm>
#include <cstddef>
#include <set>
#include <utility>

namespace tessera {

struct HotkeyDispatcher::State {
    std::optional<Connection> installed;
    std::function<void(std::uint32_t)> target;
    // Tells an old attachment's connection apart from the current one.
    std::uint64_t currentToken = 0;
};

HotkeyDispatcher::HotkeyDispatcher(Hotkeys& hotkeys)
    : hotkeys_(hotkeys), state_(std::make_shared<State>()) {}

HotkeyDispatcher::~HotkeyDispatcher() {
    // Ends the platform handler first, so no press arrives while the rest goes away.
    state_->installed.reset();
}

void HotkeyDispatcher::install() {
    if (state_->installed) {
        return;
    }
    std::weak_ptr<State> weak = state_;
    state_->installed = hotkeys_.installHandler([weak](HotkeyID pressed) {
        const auto state = weak.lock();
        if (!state || !state->target) {
            return;
        }
        // The signature is not compared: the id alone names the hotkey. A copy, so the target
        // may detach itself while it runs.
        const auto target = state->target;
        target(pressed.id);
    });
}

bool HotkeyDispatcher::isInstalled() const {
    return state_->installed.has_value();
}

Connection HotkeyDispatcher::attach(std::function<void(std::uint32_t id)> target) {
    const auto token = ++state_->currentToken;
    state_->target = std::move(target);
    std::weak_ptr<State> weak = state_;
    return Connection([weak, token] {
        if (const auto state = weak.lock(); state && state->currentToken == token) {
            state->target = nullptr;
        }
    });
}

bool HotkeyDispatcher::hasTarget() const {
    return static_cast<bool>(state_->target);
}

HotkeyCenter::HotkeyCenter(HotkeyDispatcher& dispatcher, LayoutStore& store,
                           AccessibilityWindowMover& mover, Accessibility& accessibility,
                           Workspace& workspace, Displays& displays, const Defaults& defaults,
                           const Localizer& localizer, ProcessId ownPID)
    : dispatcher_(dispatcher), hotkeys_(dispatcher.hotkeys()), store_(store), mover_(mover),
      accessibility_(accessibility), workspace_(workspace), displays_(displays),
      defaults_(defaults), localizer_(localizer), ownPID_(ownPID) {}

HotkeyCenter::~HotkeyCenter() {
    // Registrations left behind would keep their key combinations from every application and
    // from the next center for the rest of the process.
    unregisterAll();
}

void HotkeyCenter::setPreferredForeignPID(PreferredProcessProvider provider) {
    preferredForeignPID_ = std::move(provider);
}

std::optional<ProcessId> HotkeyCenter::preferredForeignPID() const {
    return preferredForeignPID_ ? preferredForeignPID_() : std::nullopt;
}

void HotkeyCenter::installHandler() {
    if (handler_) {
        return;
    }
    dispatcher_.install();
    handler_ = dispatcher_.attach([this](std::uint32_t id) { handleHotkey(id); });
}

bool ShortcutsHeldElsewhere::holds(WindowCommand command) const {
    return std::ranges::find(commands, command) != commands.end();
}

bool ShortcutsHeldElsewhere::holdsZone(const Uuid& layoutID, const Uuid& zoneID) const {
    return std::ranges::find(zones, ZoneHotkeyTarget{layoutID, zoneID}) != zones.end();
}

namespace {

// The keys a registration takes: the key's code and the four modifiers a shortcut may carry.
// Other bits of a stored value never reach the system.
std::pair<std::uint32_t, std::uint32_t> keysOf(const KeyCombo& combo) {
    constexpr std::uint32_t modifierBits =
        carbon::controlKey | carbon::optionKey | carbon::shiftKey | carbon::cmdKey;
    return {combo.keyCode & 0xFFFF, combo.carbonModifiers & modifierBits};
}

// Tells the system's refusals apart while one registration pass runs. The system answers
// "taken" both for keys another program holds and for keys one of our own earlier registrations
// of this pass holds; only the first is news to the user.
class RefusalSorter {
public:
    void registered(const KeyCombo& combo) { ours_.insert(keysOf(combo)); }
    // Whether a refusal with this status means another program holds the keys; records them.
    bool heldElsewhere(const KeyCombo& combo, HotkeyStatus status,
                       ShortcutsHeldElsewhere& held) const {
        if (status != HotkeyStatus::alreadyTaken || ours_.contains(keysOf(combo))) {
            return false;
        }
        const auto known = std::ranges::any_of(held.combinations, [&](const KeyCombo& other) {
            return keysOf(other) == keysOf(combo);
        });
        if (!known) {
            held.combinations.push_back(combo);
        }
        return true;
    }

private:
    std::set<std::pair<std::uint32_t, std::uint32_t>> ours_;
};

} // namespace

HotkeyStatus HotkeyCenter::registerCombo(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                         std::uint32_t id) {
    const auto registration =
        hotkeys_.registerHotkey(keyCode, carbonModifiers, HotkeyID{hotkeySignature, id});
    if (registration.registered()) {
        refs_.push_back(registration.ref);
    }
    return registration.status;
}

void HotkeyCenter::registerAll() {
    unregisterAll();
    nextID_ = 1;
    if (isSuspended_) {
        // Nothing is tried, so nothing is learnt: what other programs hold stays as last seen.
        return;
    }
    RefusalSorter refusals;
    ShortcutsHeldElsewhere held;
    for (const auto& layout : store_.layouts()) {
        for (const auto& zone : layout.zones) {
            if (!zone.shortcut) {
                continue;
            }
            const auto& combo = *zone.shortcut;
            const auto status = registerCombo(combo.keyCode, combo.carbonModifiers, nextID_);
            if (status == HotkeyStatus::ok) {
                refusals.registered(combo);
                map_[nextID_] = ZoneTarget{layout.id, zone.id};
                ++nextID_;
            } else if (refusals.heldElsewhere(combo, status, held)) {
                held.zones.push_back({layout.id, zone.id});
            }
        }
    }
    for (std::size_t index = 0; index < allWindowCommands.size(); ++index) {
        const auto command = allWindowCommands[index];
        const auto combo = effectiveShortcut(command, defaults_, localizer_);
        if (!combo) {
            continue;
        }
        const auto id = commandIDBase + static_cast<std::uint32_t>(index);
        const auto status = registerCombo(combo->keyCode, combo->carbonModifiers, id);
        if (status == HotkeyStatus::ok) {
            refusals.registered(*combo);
            commands_[id] = command;
        } else if (refusals.heldElsewhere(*combo, status, held)) {
            held.commands.push_back(command);
        }
    }
    if (held != heldElsewhere_) {
        heldElsewhereWillChange_.emit();
        heldElsewhere_ = std::move(held);
    }
}

void HotkeyCenter::unregisterAll() {
    const auto refs = std::exchange(refs_, {});
    for (const auto& ref : refs) {
        if (ref) {
            hotkeys_.unregisterHotkey(*ref);
        }
    }
    map_.clear();
    commands_.clear();
}

void HotkeyCenter::perform(WindowCommand command) {
    mover_.perform(command, store_, ownPID_, preferredForeignPID());
}

std::optional<SystemDisplay> HotkeyCenter::chooseDisplay(const Uuid& layoutID) const {
    return displayForLayout(layoutID, store_, displays_);
}

std::optional<SystemDisplay> displayForLayout(const Uuid& layoutID, const LayoutStore& store,
                                              const Displays& displays) {
    const auto screens = displays.screens();
    if (screens.empty()) {
        return std::nullopt;
    }
    const auto& layouts = store.layouts();
    const auto& assignments = store.assignments();
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const auto resolved =
            LayoutStore::resolveLayout(makeScreenInfo(screens[i]), layouts, assignments);
        const Layout* shown = resolved ? &*resolved : (layouts.empty() ? nullptr : &layouts[0]);
        if (shown && shown->id == layoutID) {
            candidates.push_back(i);
        }
    }
    const auto mouse = displays.mouseLocation();
    const auto pointer = std::find_if(screens.begin(), screens.end(), [&](const SystemDisplay& s) {
        return s.frame.contains(mouse);
    });
    const std::optional<std::size_t> pointerIndex =
        pointer == screens.end()
            ? std::nullopt
            : std::optional(static_cast<std::size_t>(pointer - screens.begin()));

    if (!candidates.empty()) {
        if (pointerIndex && std::ranges::find(candidates, *pointerIndex) != candidates.end()) {
            return screens[*pointerIndex];
        }
        return screens[candidates.front()];
    }
    return screens[pointerIndex.value_or(0)];
}

void HotkeyCenter::handleHotkey(std::uint32_t id) {
    if (const auto command = commands_.find(id); command != commands_.end()) {
        perform(command->second);
        return;
    }
    const auto entry = map_.find(id);
    if (entry == map_.end()) {
        return;
    }
    const auto [layoutID, zoneID] = entry->second;
    const auto& layouts = store_.layouts();
    const auto layout = std::ranges::find(layouts, layoutID, &Layout::id);
    if (layout == layouts.end()) {
        return;
    }
    const auto zone = std::ranges::find(layout->zones, zoneID, &Zone::id);
    if (zone == layout->zones.end()) {
        return;
    }
    // Copied: placing must not depend on the store staying as it is.
    const Zone target = *zone;
    const auto display = chooseDisplay(layoutID);
    if (!display) {
        return;
    }
    const auto window = activeWindow(accessibility_, workspace_, ownPID_, preferredForeignPID());
    if (!window) {
        return;
    }
    mover_.placeInZone(*window, target, *display);
}

} // namespace tessera
